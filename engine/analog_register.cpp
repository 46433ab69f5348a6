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
  const char *read;        // a register write of a read
  const char *write;       // a register write of a write
  const char *read_busy;   // the busy wait of a read
  const char *write_busy;  // the busy wait of a write
  const char *data;        // the data read
};
const failure_lines kUsbFailed = {
    " [234]: read analog register err! \t\n", " [235]: write analog register err! \t\n",
    " [234]: read analog register err! \t\n", " [235]: write analog register err! \t\n",
    " [234]: read analog register err! \t\n"};
const failure_lines kEvkFailed = {
    " [236]: read analog register err! \t\n", " [237]: write analog register err! \t\n",
    " [119]: read analog register err! \t\n", " [119]: read analog register err! \t\n",
    " [121]: read analog register err! \t\n"};
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

// The time-out lines carry the limit, so they stay literal formats.
void print_read_timeout(bool evk, int mcu_type) {
  const int limit = static_cast<int>(kBusyLimitMs);
  if (evk)
    print_message(" [120]: read analog register timeout:%d ms \t\n", limit);
  else if (is_family34(mcu_type))
    print_message(" [112]: read analog register timeout:%d ms \t\n", limit);
  else
    print_message(" [113]: read analog register timeout:%d ms \t\n", limit);
}

// A write's time-out reads "read analog register timeout" too.
void print_write_timeout(bool evk, int mcu_type) {
  const int limit = static_cast<int>(kBusyLimitMs);
  if (evk)
    print_message(" [123]: read analog register timeout:%d ms \t\n", limit);
  else if (is_family34(mcu_type))
    print_message(" [115]: read analog register timeout:%d ms \t\n", limit);
  else
    print_message(" [116]: read analog register timeout:%d ms \t\n", limit);
}

bool read_analog(const target_route &route, bool evk, int mcu_type, uint32_t address,
                 uint32_t size) {
  std::memset(read_buffer, 0, sizeof read_buffer);
  for (uint32_t i = 0; i < size; ++i) {
    // The analog address is 8 bits wide: it wraps from 0xff to 0x00.
    if (route_write_byte(route, kAnalogAddress, static_cast<unsigned char>(address + i)) != 1 ||
        route_write_byte(route, kAnalogControl, kStartRead) != 1) {
      print_message("%s", failed(evk).read);
      return false;
    }
    switch (wait_not_busy(route, clock_ms())) {
      case wait_result::read_failed:
        print_message("%s", failed(evk).read_busy);
        return false;
      case wait_result::timed_out:
        print_read_timeout(evk, mcu_type);
        return false;
      case wait_result::done:
        break;
    }
    if (route_read(route, kAnalogData, read_buffer + i, 1) != 1) {
      print_message("%s", failed(evk).data);
      return false;
    }
    if ((i + 1) % kProgressStep == 0)
      print_message(" %d \t bytes have finished! \t\n", static_cast<int>(i + 1));
  }
  output_read_data(size, address);
  return true;
}

// The 100 ms limit covers the whole write command, not each byte.
bool write_analog(const target_route &route, bool evk, int mcu_type, uint32_t address,
                  uint32_t size, uint32_t data) {
  const uint32_t since = clock_ms();
  for (uint32_t i = 0; i < size; ++i) {
    if (route_write_byte(route, kAnalogAddress, static_cast<unsigned char>(address + i)) != 1 ||
        route_write_byte(route, kAnalogData, static_cast<unsigned char>(data >> (8 * i))) != 1 ||
        route_write_byte(route, kAnalogControl, kStartWrite) != 1) {
      print_message("%s", failed(evk).write);
      return false;
    }
    switch (wait_not_busy(route, since)) {
      case wait_result::read_failed:
        print_message("%s", failed(evk).write_busy);
        return false;
      case wait_result::timed_out:
        print_write_timeout(evk, mcu_type);
        return false;
      case wait_result::done:
        break;
    }
    if (route_write_byte(route, kAnalogControl, 0x00) != 1) {
      print_message("%s", failed(evk).write);
      return false;
    }
  }
  print_message("\n Write %d bytes at address %.6x \t\n", static_cast<int>(size), address);
  return true;
}

}  // namespace

void access_analog_register(int mode, int mcu_type, uint32_t address, uint32_t size, uint32_t data,
                            int op) {
  const uint32_t started = clock_ms();  // no address test is made
  const bool evk = mode == kModeEvk;
  dn_handle_t handle = 0;
  if (mode == kModeUsb) {
    // In usb mode the size tests come before the device is opened.
    if (op == kOpRead && size > kReadBufferSize) {
      print_message(" [86]: read memory size exceed!!\t\n");
      return;
    }
    if (op == kOpWrite && size > 4) {
      print_message(" [114]: write memory size exceed!!\t\n");
      return;
    }
    handle = open_target_handle(mode, mcu_type);
  } else if (evk) {
    handle = open_target_handle(mode, mcu_type);
    if (!prepare_probe(handle, mcu_type)) {
      print_message(" [117]: no evk device!\t\n");
      return;
    }
    if (op == kOpRead && size > kReadBufferSize) {
      print_message(" [86]: read memory size exceed!!\t\n");
      return;
    }
    if (op == kOpWrite && size > 4) {
      print_message(" [122]: write memory size exceed!\t\n");
      return;
    }
  }
  if (mode == kModeUsb || evk) {
    target_route route = make_route(handle, mode, mcu_type);
    if (op == kOpRead && !read_analog(route, evk, mcu_type, address, size)) return;
    if (op == kOpWrite && !write_analog(route, evk, mcu_type, address, size, data)) return;
  }
  print_message("\n Total Time: %d ms \t\n", static_cast<int>(clock_ms() - started));
}
