// SPDX-License-Identifier: Apache-2.0
// SRAM and digital register access: one address space, registers below the SRAM base and
// SRAM from it on, reached with plain memory transfers.  The two operations share one body
// and differ only in the address test and the numbers of their messages.
#include <cstring>

#include "base/console.h"
#include "base/platform.h"
#include "engine/chip_family.h"
#include "engine/engine.h"
#include "engine/target_route.h"

namespace {

constexpr uint32_t kReadChunk = 1024;
constexpr uint32_t kTailProgressAbove = 64;

struct core_messages {
  msg usb_read_size;
  msg usb_write_size;
  msg usb_write_err_34;
  msg usb_write_err_other;
  msg evk_no_probe;
  msg evk_read_size;
  msg evk_write_size;
  msg evk_probe_err_34;
  msg evk_data_err_34;
  msg evk_probe_err_other;
  msg evk_data_err_other;
};

const core_messages kSramMessages = {
    msg::read_memory_size_exceed_86,
    msg::write_memory_size_exceed_82,
    msg::write_memory_err_83,
    msg::write_memory_err_84,
    msg::no_evk_device_85,
    msg::read_memory_size_exceed_86,
    msg::write_memory_size_exceed_89,
    msg::write_memory_err_90,
    msg::write_memory_err_91,
    msg::write_memory_err_92,
    msg::write_memory_err_93,
};

const core_messages kRegisterMessages = {
    msg::read_memory_size_exceed_96,
    msg::write_memory_size_exceed_99,
    msg::write_memory_err_100,
    msg::write_memory_err_101,
    msg::no_evk_device_102,
    msg::read_memory_size_exceed_104,
    msg::write_memory_size_exceed_107,
    msg::write_memory_err_108,
    msg::write_memory_err_109,
    msg::write_memory_err_110,
    msg::write_memory_err_111,
};

// Reads size bytes in chunks of 1024 into read_buffer, then shows or saves them.  The short
// read messages are the same for both operations.
outcome read_chunks(const target_route &route, bool evk, uint32_t address, uint32_t size) {
  msg read_error = evk ? msg::read_memory_err_88 : msg::read_memory_err_80;
  const uint32_t chunks = size / kReadChunk;
  for (uint32_t i = 0; i < chunks; ++i) {
    uint32_t offset = kReadChunk * i;
    if (route_read(route, address + offset, read_buffer + offset, kReadChunk) !=
        static_cast<int>(kReadChunk)) {
      return fail(read_error);
    }
    say(msg::bytes_finished, static_cast<int>(offset + kReadChunk));
  }
  const uint32_t tail = size % kReadChunk;
  if (tail != 0) {
    uint32_t offset = size - tail;
    if (route_read(route, address + offset, read_buffer + offset, static_cast<int>(tail)) !=
        static_cast<int>(tail)) {
      return fail(read_error);
    }
    if (tail > kTailProgressAbove)
      say(msg::bytes_finished, static_cast<int>(size));
  }
  return output_read_data(size, address);
}

// write_scratch := the first size bytes of data, least significant first.
void fill_write_scratch(uint32_t size, uint32_t data) {
  for (uint32_t i = 0; i < size; ++i)
    write_scratch[i] = static_cast<unsigned char>(data >> (8 * i));
}

outcome access_over_usb(const core_messages &text, int mcu_type, uint32_t address, uint32_t size,
                     uint32_t data, int op) {
  if (op == kOpRead) {
    if (size > kReadBufferSize) {
      return fail(text.usb_read_size);
    }
    std::memset(read_buffer, 0, sizeof read_buffer);
    dn_handle_t handle = open_target_handle(kModeUsb, mcu_type);
    if (is_probe_handle(handle)) return fail(msg::usb_mode_on_probe_241);
    return read_chunks(make_route(handle, kModeUsb, mcu_type), false, address, size);
  }
  if (op == kOpWrite) {
    std::memset(write_scratch, 0, sizeof write_scratch);
    if (size > sizeof write_scratch) {
      return fail(text.usb_write_size);
    }
    fill_write_scratch(size, data);
    dn_handle_t handle = open_target_handle(kModeUsb, mcu_type);
    if (is_probe_handle(handle)) return fail(msg::usb_mode_on_probe_241);
    target_route route = make_route(handle, kModeUsb, mcu_type);
    if (route_write(route, address, write_scratch, static_cast<int>(size)) !=
        static_cast<int>(size)) {
      return fail(is_family34(mcu_type) ? text.usb_write_err_34 : text.usb_write_err_other);
    }
    say(msg::write_done, static_cast<int>(size), address);
  }
  return kDone;
}

outcome access_over_evk(const core_messages &text, int mcu_type, uint32_t address, uint32_t size,
                     uint32_t data, int op) {
  const bool family34 = is_family34(mcu_type);
  dn_handle_t handle = open_target_handle(kModeEvk, mcu_type);
  // The probe test comes before the size test: a missing probe is reported first.
  if (!prepare_probe(handle, mcu_type)) {
    return fail(text.evk_no_probe);
  }
  target_route route = make_route(handle, kModeEvk, mcu_type);
  if (op == kOpRead) {
    if (size > kReadBufferSize) {
      return fail(text.evk_read_size);
    }
    std::memset(read_buffer, 0, sizeof read_buffer);
    return read_chunks(route, true, address, size);
  }
  if (op == kOpWrite) {
    std::memset(write_scratch, 0, sizeof write_scratch);
    if (size > sizeof write_scratch) {
      return fail(text.evk_write_size);
    }
    fill_write_scratch(size, data);
    // The probe control byte goes out once more right before the data.
    if (write_probe_control(handle, mcu_type) != 1) {
      return fail(family34 ? text.evk_probe_err_34 : text.evk_probe_err_other);
    }
    if (route_write(route, address, write_scratch, static_cast<int>(size)) !=
        static_cast<int>(size)) {
      return fail(family34 ? text.evk_data_err_34 : text.evk_data_err_other);
    }
    say(msg::write_done, static_cast<int>(size), address);
  }
  return kDone;
}

// Steps 2 to 6, after the address test.
outcome access_core(const core_messages &text, int mode, int mcu_type, uint32_t address,
                    uint32_t size, uint32_t data, int op) {
  const uint32_t started = clock_ms();
  outcome ended = kDone;
  if (mode == kModeUsb)
    ended = access_over_usb(text, mcu_type, address, size, data, op);
  else if (mode == kModeEvk)
    ended = access_over_evk(text, mcu_type, address, size, data, op);
  if (read_finished(ended)) say(msg::access_total_time, static_cast<int>(clock_ms() - started));
  return ended;
}

}  // namespace

outcome access_sram(int mode, int mcu_type, uint32_t address, uint32_t size, uint32_t data,
                    int op) {
  if (address < sram_base(mcu_type)) {
    return fail(is_family34(mcu_type) ? msg::sram_memory_address_exceed_77
                                      : msg::sram_memory_address_exceed_78);
  }
  return access_core(kSramMessages, mode, mcu_type, address, size, data, op);
}

outcome access_digital_register(int mode, int mcu_type, uint32_t address, uint32_t size,
                                uint32_t data, int op) {
  if (address >= sram_base(mcu_type)) {
    return fail(is_family34(mcu_type) ? msg::digital_register_size_exceed_94
                                      : msg::digital_register_size_exceed_95);
  }
  return access_core(kRegisterMessages, mode, mcu_type, address, size, data, op);
}
