// SPDX-License-Identifier: Apache-2.0
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
  msg usb;
  msg evk;
};

const failure_lines kResetFailed = {msg::reset_mcu_err_222, msg::reset_mcu_err_223};
const failure_lines kRunFailed = {msg::run_mcu_err_224, msg::run_mcu_err_225};
const failure_lines kStopFailed = {msg::stop_mcu_err_226, msg::stop_mcu_err_227};
const failure_lines kStepFailed = {msg::step_mcu_err_228, msg::step_mcu_err_229};
const failure_lines kBreakpointsFailed = {msg::set_break_point_err_230,
                                          msg::set_break_point_err_231};

// kDone, or the operation's line printed and returned, when a transfer moved fewer bytes
// than asked.  A route that makes no transfer (a mode code neither usb nor evk) never fails.
outcome moved(const target_route &route, int got, int wanted, const failure_lines &lines) {
  if (route.transfer == transfer_mode::none || got == wanted) return kDone;
  return fail(route.transfer == transfer_mode::vlane ? lines.evk : lines.usb);
}

// Reads one register byte, ORs in set_bits, ANDs with keep_bits and writes it back.
outcome modify_register(const target_route &route, uint32_t address, unsigned char set_bits,
                        unsigned char keep_bits, const failure_lines &lines) {
  if (route.transfer == transfer_mode::none) return kDone;
  unsigned char value = 0;
  const outcome read = moved(route, route_read(route, address, &value, 1), 1, lines);
  if (read != kDone) return read;
  value = static_cast<unsigned char>((value | set_bits) & keep_bits);
  return moved(route, route_write(route, address, &value, 1), 1, lines);
}

// The program counter register, little-endian.  A route without transfers reads it as 0.
outcome read_program_counter(const target_route &route, uint32_t *pc, const failure_lines &lines) {
  unsigned char buffer[4] = {0, 0, 0, 0};
  const outcome read = moved(route, route_read(route, kProgramCounter, buffer, 4), 4, lines);
  if (read != kDone) return read;
  *pc = load_le32(buffer);
  return kDone;
}

}  // namespace

// Each operation: its steps in order, each taken only while the ones before it succeeded;
// the success line only when all did.

outcome reset_mcu(int mode, int mcu_type) {
  target_route route;
  outcome o = open_core_route(mode, mcu_type, msg::no_usb_device_42, msg::no_evk_device_43, &route);
  if (o == kDone)
    o = moved(route, route_write_byte(route, kResetRegister, kResetValue), 1, kResetFailed);
  if (o == kDone) say(msg::reset_done);
  return o;
}

outcome run_mcu(int mode, int mcu_type) {
  target_route route;
  outcome o = open_core_route(mode, mcu_type, msg::no_usb_device_45, msg::no_evk_device_46, &route);
  if (o == kDone) o = modify_register(route, kRunControl, kRunReleaseBit, 0xff, kRunFailed);
  if (o == kDone)
    o = modify_register(route, kCoreControl, 0, static_cast<unsigned char>(~kCoreHaltBit),
                        kRunFailed);
  if (o == kDone) say(msg::run_done);
  return o;
}

outcome stop_mcu(int mode, int mcu_type) {
  target_route route;
  uint32_t pc = 0;
  outcome o = open_core_route(mode, mcu_type, msg::no_usb_device_48, msg::no_evk_device_49, &route);
  if (o == kDone) o = modify_register(route, kCoreControl, kCoreHaltBit, 0xff, kStopFailed);
  if (o == kDone) o = read_program_counter(route, &pc, kStopFailed);
  if (o == kDone) say(msg::stop_done, pc);
  return o;
}

outcome step_mcu(int mode, int mcu_type) {
  target_route route;
  uint32_t pc = 0;
  outcome o = open_core_route(mode, mcu_type, msg::no_usb_device_51, msg::no_evk_device_52, &route);
  if (o == kDone) o = modify_register(route, kCoreControl, kCoreHaltBit, 0xff, kStepFailed);
  if (o == kDone) o = modify_register(route, kRunControl, kRunReleaseBit, 0xff, kStepFailed);
  if (o == kDone) o = read_program_counter(route, &pc, kStepFailed);
  if (o == kDone) say(msg::step_done, pc);
  return o;
}

outcome set_breakpoints(int mode, int mcu_type, const uint32_t addresses[4]) {
  target_route route;
  outcome o = open_core_route(mode, mcu_type, msg::no_usb_device_54, msg::no_evk_device_55, &route);
  // Entry n: address bits 0-23 little-endian, then the enable byte.  Entry 0's enable byte
  // is the run control register, so writing entry 0 also clears its release bit.
  for (uint32_t n = 0; n < 4 && o == kDone; ++n) {
    const uint32_t address = addresses[n];
    unsigned char entry[4];
    store_le32(entry, address);
    entry[3] = address != 0 ? 1 : 0;
    o = moved(route, route_write(route, kBreakpointEntries + 4 * n, entry, 4), 4,
              kBreakpointsFailed);
  }
  if (o == kDone) say(msg::breakpoints_done);
  return o;
}
