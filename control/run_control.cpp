// Core run control: reset, run, stop, single step and the four hardware breakpoints.  Each
// operation is a short fixed sequence of register transfers after the common start; the
// results of the transfers are not examined, so a failed read leaves the buffer as it was.
#include "base/console.h"
#include "byte_order.h"
#include "control/control.h"
#include "engine/target_registers.h"
#include "engine/target_route.h"

namespace {

// Read one byte into buffer[0], OR in set_bits and AND with keep_bits, write it back.  A
// mode without transfers leaves the buffer at zero, so stop and step show the PC as 0.
void modify_register(const target_route &route, uint32_t address, unsigned char *buffer,
                     unsigned char set_bits, unsigned char keep_bits) {
  if (route.transfer == transfer_mode::none) return;
  route_read(route, address, buffer, 1);
  buffer[0] = static_cast<unsigned char>((buffer[0] | set_bits) & keep_bits);
  route_write(route, address, buffer, 1);
}

// The program counter register, little-endian; the whole buffer is overwritten by the read.
uint32_t read_program_counter(const target_route &route, unsigned char *buffer) {
  route_read(route, kProgramCounter, buffer, 4);
  return load_le32(buffer);
}

}  // namespace

void reset_mcu(int mode, int mcu_type) {
  target_route route;
  if (!open_core_route(mode, mcu_type, " [42]: no usb device!\n", " [43]: no evk device!\n",
                       &route))
    return;
  const unsigned char value = kResetValue;
  route_write(route, kResetRegister, &value, 1);
  print_message(" Reset MCU \n");
}

void run_mcu(int mode, int mcu_type) {
  target_route route;
  if (!open_core_route(mode, mcu_type, " [45]: no usb device!\n", " [46]: no evk device!\n",
                       &route))
    return;
  unsigned char buffer[4] = {0, 0, 0, 0};
  modify_register(route, kRunControl, buffer, kRunReleaseBit, 0xff);
  modify_register(route, kCoreControl, buffer, 0, static_cast<unsigned char>(~kCoreHaltBit));
  print_message(" MCU Run \t\n");
}

void stop_mcu(int mode, int mcu_type) {
  target_route route;
  if (!open_core_route(mode, mcu_type, " [48]: no usb device!\n", " [49]: no evk device!\n",
                       &route))
    return;
  unsigned char buffer[4] = {0, 0, 0, 0};
  modify_register(route, kCoreControl, buffer, kCoreHaltBit, 0xff);
  const uint32_t pc = read_program_counter(route, buffer);
  print_message(" Stop MCU, PC is : 0x%.6x \t\n", pc);
}

void step_mcu(int mode, int mcu_type) {
  target_route route;
  if (!open_core_route(mode, mcu_type, " [51]: no usb device!\n", " [52]: no evk device!\n",
                       &route))
    return;
  unsigned char buffer[4] = {0, 0, 0, 0};
  modify_register(route, kCoreControl, buffer, kCoreHaltBit, 0xff);
  modify_register(route, kRunControl, buffer, kRunReleaseBit, 0xff);
  const uint32_t pc = read_program_counter(route, buffer);
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
    route_write(route, kBreakpointEntries + 4 * n, entry, 4);
  }
  print_message(" Set break point ok! \t\n");
}
