// Core run control: reset, run, stop, single step and the four hardware breakpoints.  Each
// operation is a short fixed sequence of register transfers after the common start.  Every
// transfer is checked: one that fails ends the operation with its numbered error line (usb
// and evk have their own), never with the success line or a program counter never read.
#include "base/console.h"
#include "wire/byte_order.h"
#include "control/control.h"
#include "wire/target_registers.h"
#include "engine/target_route.h"

namespace {

struct failure_lines {
  const char *usb;
  const char *evk;
};

const failure_lines kResetFailed = {" [222]: reset mcu err! \t\n", " [223]: reset mcu err! \t\n"};
const failure_lines kRunFailed = {" [224]: run mcu err! \t\n", " [225]: run mcu err! \t\n"};
const failure_lines kStopFailed = {" [226]: stop mcu err! \t\n", " [227]: stop mcu err! \t\n"};
const failure_lines kStepFailed = {" [228]: step mcu err! \t\n", " [229]: step mcu err! \t\n"};
const failure_lines kBreakpointsFailed = {" [230]: set break point err! \t\n",
                                          " [231]: set break point err! \t\n"};

// False, with the operation's line printed, when a transfer moved fewer bytes than asked.  A
// route that makes no transfer (a mode code neither usb nor evk) never fails.
bool moved(const target_route &route, int got, int wanted, const failure_lines &lines) {
  if (route.transfer == transfer_mode::none || got == wanted) return true;
  print_message("%s", route.transfer == transfer_mode::vlane ? lines.evk : lines.usb);
  return false;
}

// Reads one register byte, ORs in set_bits, ANDs with keep_bits and writes it back.
bool modify_register(const target_route &route, uint32_t address, unsigned char set_bits,
                     unsigned char keep_bits, const failure_lines &lines) {
  if (route.transfer == transfer_mode::none) return true;
  unsigned char value = 0;
  if (!moved(route, route_read(route, address, &value, 1), 1, lines)) return false;
  value = static_cast<unsigned char>((value | set_bits) & keep_bits);
  return moved(route, route_write(route, address, &value, 1), 1, lines);
}

// The program counter register, little-endian.  A route without transfers reads it as 0.
bool read_program_counter(const target_route &route, uint32_t *pc, const failure_lines &lines) {
  unsigned char buffer[4] = {0, 0, 0, 0};
  if (!moved(route, route_read(route, kProgramCounter, buffer, 4), 4, lines)) return false;
  *pc = load_le32(buffer);
  return true;
}

}  // namespace

void reset_mcu(int mode, int mcu_type) {
  target_route route;
  if (!open_core_route(mode, mcu_type, " [42]: no usb device!\n", " [43]: no evk device!\n",
                       &route))
    return;
  if (!moved(route, route_write_byte(route, kResetRegister, kResetValue), 1, kResetFailed)) return;
  print_message(" Reset MCU \n");
}

void run_mcu(int mode, int mcu_type) {
  target_route route;
  if (!open_core_route(mode, mcu_type, " [45]: no usb device!\n", " [46]: no evk device!\n",
                       &route))
    return;
  if (!modify_register(route, kRunControl, kRunReleaseBit, 0xff, kRunFailed) ||
      !modify_register(route, kCoreControl, 0, static_cast<unsigned char>(~kCoreHaltBit),
                       kRunFailed))
    return;
  print_message(" MCU Run \t\n");
}

void stop_mcu(int mode, int mcu_type) {
  target_route route;
  if (!open_core_route(mode, mcu_type, " [48]: no usb device!\n", " [49]: no evk device!\n",
                       &route))
    return;
  uint32_t pc = 0;
  if (!modify_register(route, kCoreControl, kCoreHaltBit, 0xff, kStopFailed) ||
      !read_program_counter(route, &pc, kStopFailed))
    return;
  print_message(" Stop MCU, PC is : 0x%.6x \t\n", pc);
}

void step_mcu(int mode, int mcu_type) {
  target_route route;
  if (!open_core_route(mode, mcu_type, " [51]: no usb device!\n", " [52]: no evk device!\n",
                       &route))
    return;
  uint32_t pc = 0;
  if (!modify_register(route, kCoreControl, kCoreHaltBit, 0xff, kStepFailed) ||
      !modify_register(route, kRunControl, kRunReleaseBit, 0xff, kStepFailed) ||
      !read_program_counter(route, &pc, kStepFailed))
    return;
  print_message(" Step MCU, PC is : 0x%.6x \t\n", pc);
}

void set_breakpoints(int mode, int mcu_type, const uint32_t addresses[4]) {
  target_route route;
  if (!open_core_route(mode, mcu_type, " [54]: no usb device!\n", " [55]: no evk device!\n",
                       &route))
    return;
  // Entry n: address bits 0-23 little-endian, then the enable byte.  Entry 0's enable byte
  // is the run control register, so writing entry 0 also clears its release bit.
  for (uint32_t n = 0; n < 4; ++n) {
    const uint32_t address = addresses[n];
    unsigned char entry[4];
    store_le32(entry, address);
    entry[3] = address != 0 ? 1 : 0;
    if (!moved(route, route_write(route, kBreakpointEntries + 4 * n, entry, 4), 4,
               kBreakpointsFailed))
      return;
  }
  print_message(" Set break point ok! \t\n");
}
