// SPDX-License-Identifier: Apache-2.0
// Analog register access: analog registers are reached one byte at a time through three
// digital registers (address 0xb8, data 0xb9, control 0xba).
#include <cstring>

#include "base/console.h"
#include "base/platform.h"
#include "engine/chip_family.h"
#include "engine/engine.h"
#include "wire/target_registers.h"
#include "engine/target_route.h"

namespace {

constexpr unsigned char kStartRead = 0x40;
constexpr unsigned char kStartWrite = 0x60;
constexpr unsigned char kBusy = 0x01;
constexpr uint32_t kBusyLimitMs = 100;
constexpr uint32_t kProgressStep = 64;

enum class wait_result { done, timed_out, read_failed };

// Every transfer of the sequences is checked: a failed one ends the access with a numbered
// line and no success line, and nothing read so far is shown.  Over Vlane a failed busy-wait
// read and a failed data read keep their own lines (119, 121).
struct failure_lines {
  msg read;        // a register write of a read
  msg write;       // a register write of a write
  msg read_busy;   // the busy wait of a read
  msg write_busy;  // the busy wait of a write
  msg data;        // the data read
};
const failure_lines kUsbFailed = {
    msg::read_analog_register_err_234, msg::write_analog_register_err_235,
    msg::read_analog_register_err_234, msg::write_analog_register_err_235,
    msg::read_analog_register_err_234};
const failure_lines kEvkFailed = {
    msg::read_analog_register_err_236, msg::write_analog_register_err_237,
    msg::read_analog_register_err_119, msg::read_analog_register_err_119,
    msg::read_analog_register_err_121};
const failure_lines &failed(bool evk) { return evk ? kEvkFailed : kUsbFailed; }

// Polls the control register until its busy bit clears.  The time limit counts from
// `since` and is tested before the byte just read is looked at.  A failed read ends the wait.
wait_result wait_not_busy(const target_route &route, uint32_t since) {
  unsigned char control = kBusy;
  do {
    if (route_read(route, kAnalogControl, &control, 1) != 1) return wait_result::read_failed;
    if (clock_ms() - since > kBusyLimitMs) return wait_result::timed_out;
  } while (control & kBusy);
  return wait_result::done;
}

// The time-out lines of a read and of a write (which reads "read analog register timeout" too).
msg read_timeout(bool evk, int mcu_type) {
  if (evk) return msg::analog_timeout_120;
  return is_family34(mcu_type) ? msg::analog_timeout_112 : msg::analog_timeout_113;
}

msg write_timeout(bool evk, int mcu_type) {
  if (evk) return msg::analog_timeout_123;
  return is_family34(mcu_type) ? msg::analog_timeout_115 : msg::analog_timeout_116;
}

outcome read_analog(const target_route &route, bool evk, int mcu_type, uint32_t address,
                 uint32_t size) {
  std::memset(read_buffer, 0, sizeof read_buffer);
  for (uint32_t i = 0; i < size; ++i) {
    // The analog address is 8 bits wide: it wraps from 0xff to 0x00.
    if (route_write_byte(route, kAnalogAddress, static_cast<unsigned char>(address + i)) != 1 ||
        route_write_byte(route, kAnalogControl, kStartRead) != 1) {
      return fail(failed(evk).read);
    }
    switch (wait_not_busy(route, clock_ms())) {
      case wait_result::read_failed:
        return fail(failed(evk).read_busy);
      case wait_result::timed_out:
        return fail(read_timeout(evk, mcu_type), static_cast<int>(kBusyLimitMs));
      case wait_result::done:
        break;
    }
    if (route_read(route, kAnalogData, read_buffer + i, 1) != 1) {
      return fail(failed(evk).data);
    }
    if ((i + 1) % kProgressStep == 0)
      say(msg::bytes_finished, static_cast<int>(i + 1));
  }
  return output_read_data(size, address);
}

// The 100 ms limit covers the whole write command, not each byte.
outcome write_analog(const target_route &route, bool evk, int mcu_type, uint32_t address,
                  uint32_t size, uint32_t data) {
  const uint32_t since = clock_ms();
  for (uint32_t i = 0; i < size; ++i) {
    if (route_write_byte(route, kAnalogAddress, static_cast<unsigned char>(address + i)) != 1 ||
        route_write_byte(route, kAnalogData, static_cast<unsigned char>(data >> (8 * i))) != 1 ||
        route_write_byte(route, kAnalogControl, kStartWrite) != 1) {
      return fail(failed(evk).write);
    }
    switch (wait_not_busy(route, since)) {
      case wait_result::read_failed:
        return fail(failed(evk).write_busy);
      case wait_result::timed_out:
        return fail(write_timeout(evk, mcu_type), static_cast<int>(kBusyLimitMs));
      case wait_result::done:
        break;
    }
    if (route_write_byte(route, kAnalogControl, 0x00) != 1) {
      return fail(failed(evk).write);
    }
  }
  say(msg::write_done, static_cast<int>(size), address);
  return kDone;
}

}  // namespace

outcome access_analog_register(int mode, int mcu_type, uint32_t address, uint32_t size,
                               uint32_t data, int op) {
  const uint32_t started = clock_ms();  // no address test is made
  const bool evk = mode == kModeEvk;
  dn_handle_t handle = 0;
  if (mode == kModeUsb) {
    // In usb mode the size tests come before the device is opened.
    if (op == kOpRead && size > kReadBufferSize) {
      return fail(msg::read_memory_size_exceed_86);
    }
    if (op == kOpWrite && size > 4) {
      return fail(msg::write_memory_size_exceed_114);
    }
    handle = open_target_handle(mode, mcu_type);
    if (is_probe_handle(handle)) return fail(msg::usb_mode_on_probe_241);
  } else if (evk) {
    handle = open_target_handle(mode, mcu_type);
    if (!prepare_probe(handle, mcu_type)) {
      return fail(msg::no_evk_device_117);
    }
    if (op == kOpRead && size > kReadBufferSize) {
      return fail(msg::read_memory_size_exceed_86);
    }
    if (op == kOpWrite && size > 4) {
      return fail(msg::write_memory_size_exceed_122);
    }
  }
  outcome ended = kDone;
  if (mode == kModeUsb || evk) {
    target_route route = make_route(handle, mode, mcu_type);
    if (op == kOpRead) ended = read_analog(route, evk, mcu_type, address, size);
    if (op == kOpWrite) ended = write_analog(route, evk, mcu_type, address, size, data);
    if (!read_finished(ended)) return ended;
  }
  say(msg::access_total_time, static_cast<int>(clock_ms() - started));
  return ended;
}
