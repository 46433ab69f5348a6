// SPDX-License-Identifier: Apache-2.0
// Flash read and write through the flash writer: a read is a run of 8-byte flash read
// commands, a write a page-buffer query and one page program command per byte.
#include <cstring>

#include "base/console.h"
#include "base/platform.h"
#include "engine/chip_family.h"
#include "engine/engine.h"
#include "engine/target_route.h"

namespace {

constexpr uint32_t kFlashChunk = 8;  // the most one flash read command moves
constexpr uint32_t kProgressStep = 1024;

// Returns false when the read stopped on a failure (its message printed).
outcome read_flash(const target_route &route, int mode, int mcu_type, uint32_t address,
                uint32_t size) {
  const bool evk = mode == kModeEvk;
  const uint32_t base = sram_base(mcu_type);
  if (size > kReadBufferSize) {
    return fail(msg::read_memory_size_exceed_104);
  }
  std::memset(read_buffer, 0, sizeof read_buffer);

  const uint32_t chunks = size / kFlashChunk;
  for (uint32_t i = 0; i < chunks; ++i) {
    uint32_t offset = kFlashChunk * i;
    outcome ended = kDone;
    if (flash_writer_command(route.handle, kWriterFlashRead, mode, mcu_type, address + offset,
                             kFlashChunk, &ended) == 0)
      return ended;
    if (route_read(route, base + 8, read_buffer + offset, kFlashChunk) !=
        static_cast<int>(kFlashChunk)) {
      return fail(evk ? msg::read_flash_err_73 : msg::read_flash_err_66);
    }
    if ((offset + kFlashChunk) % kProgressStep == 0)
      say(msg::bytes_finished, static_cast<int>(offset + kFlashChunk));
  }

  const uint32_t tail = size % kFlashChunk;
  if (tail != 0) {
    uint32_t offset = size - tail;
    outcome ended = kDone;
    if (flash_writer_command(route.handle, kWriterFlashRead, mode, mcu_type, address + offset,
                             tail, &ended) == 0)
      return ended;
    // One or two bytes come back in the result word, more from B + 8.
    uint32_t from = tail <= 2 ? base + 4 : base + 8;
    if (route_read(route, from, read_buffer + offset, static_cast<int>(tail)) !=
        static_cast<int>(tail)) {
      return fail(evk ? msg::read_flash_err_74 : msg::read_flash_err_67);
    }
    say(msg::bytes_finished, static_cast<int>(size));
  }
  return output_read_data(size, address);
}

// Programs the bytes of data, least significant first, one page program command each.
// Nothing is erased: each byte is programmed over what the flash holds.
outcome write_flash(const target_route &route, int mode, int mcu_type, uint32_t address, uint32_t size,
                 uint32_t data) {
  const bool evk = mode == kModeEvk;
  outcome ended = kDone;
  uint32_t page_buffer =
      flash_writer_command(route.handle, kWriterPageBufferQuery, mode, mcu_type, 0, 0, &ended);
  // The writer's page buffer lies in SRAM, never at 0: a 0 that came without a failure is
  // a writer that answered nonsense.
  if (page_buffer == 0) return ended != kDone ? ended : fail(msg::page_buffer_zero_242);
  std::memset(write_scratch, 0, sizeof write_scratch);
  if (size > sizeof write_scratch) {
    return fail(evk ? msg::write_flash_size_exceed_75
                      : msg::write_flash_size_exceed_68);
  }
  for (uint32_t i = 0; i < size; ++i) {
    write_scratch[0] = static_cast<unsigned char>(data >> (8 * i));
    if (route_write(route, page_buffer, write_scratch, 1) != 1) {
      return fail(evk ? msg::write_sram_err_76 : msg::write_sram_err_69);
    }
    if (flash_writer_command(route.handle, kWriterPageProgram, mode, mcu_type, address + i, 1,
                             &ended) == 0)
      return ended;
    say(msg::flash_byte_programmed, address + i);
  }
  return kDone;
}

}  // namespace

outcome access_flash(int mode, int mcu_type, uint32_t address, uint32_t size, uint32_t data,
                     int op) {
  const uint32_t started = clock_ms();
  outcome ended = kDone;
  if (mode == kModeUsb || mode == kModeEvk) {
    dn_handle_t handle = open_target_handle(mode, mcu_type);
    // A probe would take the reset request and the writer into its own memory.
    if (mode == kModeUsb && is_probe_handle(handle)) return fail(msg::usb_mode_on_probe_241);
    ended = load_flash_writer(handle, mcu_type, mode);
    if (ended != kDone) return ended;
    target_route route = make_route(handle, mode, mcu_type);
    if (op == kOpRead) ended = read_flash(route, mode, mcu_type, address, size);
    if (op == kOpWrite) ended = write_flash(route, mode, mcu_type, address, size, data);
    if (!read_finished(ended)) return ended;
  }
  say(msg::access_total_time, static_cast<int>(clock_ms() - started));
  return ended;
}

bool usb_device_present(dn_handle_t handle) {
  unsigned char probe = 0;
  const int direct = static_cast<int>(transfer_mode::direct);
  if (ReadMem(handle, 0, &probe, 1, direct) == 1) return true;
  return ReadMem2(handle, 0, &probe, 1, direct) == 1;
}
