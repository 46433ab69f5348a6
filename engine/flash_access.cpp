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
bool read_flash(const target_route &route, int mode, int mcu_type, uint32_t address,
                uint32_t size) {
  const bool evk = mode == kModeEvk;
  const uint32_t base = sram_base(mcu_type);
  if (size > kReadBufferSize) {
    print_message(" [104]: read memory size exceed!!\t\n");
    return false;
  }
  std::memset(read_buffer, 0, sizeof read_buffer);

  const uint32_t chunks = size / kFlashChunk;
  for (uint32_t i = 0; i < chunks; ++i) {
    uint32_t offset = kFlashChunk * i;
    if (flash_writer_command(route.handle, kWriterFlashRead, mode, mcu_type, address + offset,
                             kFlashChunk) == 0)
      return false;
    if (route_read(route, base + 8, read_buffer + offset, kFlashChunk) !=
        static_cast<int>(kFlashChunk)) {
      print_message(evk ? "\n [73]: read flash err! \t\n" : " [66]: read flash err!\t\n");
      return false;
    }
    if ((offset + kFlashChunk) % kProgressStep == 0)
      print_message(" %d \t bytes have finished! \t\n", static_cast<int>(offset + kFlashChunk));
  }

  const uint32_t tail = size % kFlashChunk;
  if (tail != 0) {
    uint32_t offset = size - tail;
    if (flash_writer_command(route.handle, kWriterFlashRead, mode, mcu_type, address + offset,
                             tail) == 0)
      return false;
    // One or two bytes come back in the result word, more from B + 8.
    uint32_t from = tail <= 2 ? base + 4 : base + 8;
    if (route_read(route, from, read_buffer + offset, static_cast<int>(tail)) !=
        static_cast<int>(tail)) {
      print_message(evk ? "\n [74]: read flash err! \t\n" : " [67]: read flash err!\t\n");
      return false;
    }
    print_message(" %d \t bytes have finished! \t\n", static_cast<int>(size));
  }
  output_read_data(size, address);
  return true;
}

// Programs the bytes of data, least significant first, one page program command each.
// Nothing is erased: each byte is programmed over what the flash holds.
bool write_flash(const target_route &route, int mode, int mcu_type, uint32_t address, uint32_t size,
                 uint32_t data) {
  const bool evk = mode == kModeEvk;
  uint32_t page_buffer =
      flash_writer_command(route.handle, kWriterPageBufferQuery, mode, mcu_type, 0, 0);
  if (page_buffer == 0) return false;
  std::memset(write_scratch, 0, sizeof write_scratch);
  if (size > sizeof write_scratch) {
    print_message(evk ? " [75]: write flash size exceed!\t\n"
                      : " [68]: write flash size exceed!!\t\n");
    return false;
  }
  for (uint32_t i = 0; i < size; ++i) {
    write_scratch[0] = static_cast<unsigned char>(data >> (8 * i));
    if (route_write(route, page_buffer, write_scratch, 1) != 1) {
      print_message(evk ? " [76]: write sram err! \t\n" : " [69]: write sram err! \t\n");
      return false;
    }
    if (flash_writer_command(route.handle, kWriterPageProgram, mode, mcu_type, address + i, 1) == 0)
      return false;
    print_message("  Flash Sector (4K) Program at address %x \t\n", address + i);
  }
  return true;
}

}  // namespace

void access_flash(int mode, int mcu_type, uint32_t address, uint32_t size, uint32_t data, int op) {
  const uint32_t started = clock_ms();
  if (mode == kModeUsb || mode == kModeEvk) {
    dn_handle_t handle = open_target_handle(mode, mcu_type);
    if (!load_flash_writer(handle, mcu_type, mode)) return;
    target_route route = make_route(handle, mode, mcu_type);
    if (op == kOpRead && !read_flash(route, mode, mcu_type, address, size)) return;
    if (op == kOpWrite && !write_flash(route, mode, mcu_type, address, size, data)) return;
  }
  print_message("\n Total Time: %d ms \t\n", static_cast<int>(clock_ms() - started));
}

bool usb_device_present(dn_handle_t handle) {
  unsigned char probe = 0;
  const int direct = static_cast<int>(transfer_mode::direct);
  if (ReadMem(handle, 0, &probe, 1, direct) == 1) return true;
  return ReadMem2(handle, 0, &probe, 1, direct) == 1;
}
