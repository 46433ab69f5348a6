// Core run control: reset, run, stop, single step and the four hardware breakpoints.  Each
// operation is a short fixed sequence of register transfers after the common start; the
// results of the transfers are not examined, so a failed read leaves the buffer as it was.
#include "base/console.h"
#include "control/control.h"
#include "control/core_link.h"

namespace {

constexpr uint32_t kResetRegister = 0x6f;
constexpr unsigned char kResetValue = 0x20;
constexpr uint32_t kCoreControlRegister = 0x602;
constexpr unsigned char kHaltBit = 0x02;
constexpr uint32_t kRunControlRegister = 0x613;
constexpr unsigned char kReleaseBit = 0x80;
constexpr uint32_t kBreakpointRegisters = 0x610;
constexpr uint32_t kProgramCounter = 0x6bc;

// Read one byte into buffer[0], OR in set_bits and AND with keep_bits, write it back.  A
// mode without transfers leaves the buffer at zero, so stop and step show the PC as 0.
void modify_register(const core_link &link, uint32_t address, unsigned char *buffer,
                     unsigned char set_bits, unsigned char keep_bits) {
  if (link.transfer_mode == 0) return;
  core_read(link, address, buffer, 1);
  buffer[0] = static_cast<unsigned char>((buffer[0] | set_bits) & keep_bits);
  core_write(link, address, buffer, 1);
}

// The program counter register, little-endian; the whole buffer is overwritten by the read.
uint32_t read_program_counter(const core_link &link, unsigned char *buffer) {
  core_read(link, kProgramCounter, buffer, 4);
  return static_cast<uint32_t>(buffer[0]) | static_cast<uint32_t>(buffer[1]) << 8 |
         static_cast<uint32_t>(buffer[2]) << 16 | static_cast<uint32_t>(buffer[3]) << 24;
}

}  // namespace

void reset_mcu(int mode, int mcu_type) {
  core_link link;
  if (!open_core_link(mode, mcu_type, " [42]: no usb device!\n", " [43]: no evk device!\n",
                      &link))
    return;
  const unsigned char value = kResetValue;
  core_write(link, kResetRegister, &value, 1);
  print_message(" Reset MCU \n");
}

void run_mcu(int mode, int mcu_type) {
  core_link link;
  if (!open_core_link(mode, mcu_type, " [45]: no usb device!\n", " [46]: no evk device!\n",
                      &link))
    return;
  unsigned char buffer[4] = {0, 0, 0, 0};
  modify_register(link, kRunControlRegister, buffer, kReleaseBit, 0xff);
  modify_register(link, kCoreControlRegister, buffer, 0, static_cast<unsigned char>(~kHaltBit));
  print_message(" MCU Run \t\n");
}

void stop_mcu(int mode, int mcu_type) {
  core_link link;
  if (!open_core_link(mode, mcu_type, " [48]: no usb device!\n", " [49]: no evk device!\n",
                      &link))
    return;
  unsigned char buffer[4] = {0, 0, 0, 0};
  modify_register(link, kCoreControlRegister, buffer, kHaltBit, 0xff);
  const uint32_t pc = read_program_counter(link, buffer);
  print_message(" Stop MCU, PC is : 0x%.6x \t\n", pc);
}

void step_mcu(int mode, int mcu_type) {
  core_link link;
  if (!open_core_link(mode, mcu_type, " [51]: no usb device!\n", " [52]: no evk device!\n",
                      &link))
    return;
  unsigned char buffer[4] = {0, 0, 0, 0};
  modify_register(link, kCoreControlRegister, buffer, kHaltBit, 0xff);
  modify_register(link, kRunControlRegister, buffer, kReleaseBit, 0xff);
  const uint32_t pc = read_program_counter(link, buffer);
  print_message(" Step MCU, PC is : 0x%.6x \t\n", pc);
}

void set_breakpoints(int mode, int mcu_type, const uint32_t addresses[4]) {
  core_link link;
  if (!open_core_link(mode, mcu_type, " [54]: no usb device!\n", " [55]: no evk device!\n",
                      &link))
    return;
  // Entry n: address bits 0-23 little-endian, then the enable byte.  Entry 0's enable byte
  // is the run control register 0x613, so writing entry 0 also clears its bit 7.
  for (uint32_t n = 0; n < 4; ++n) {
    const uint32_t address = addresses[n];
    const unsigned char entry[4] = {static_cast<unsigned char>(address),
                                    static_cast<unsigned char>(address >> 8),
                                    static_cast<unsigned char>(address >> 16),
                                    static_cast<unsigned char>(address != 0 ? 1 : 0)};
    core_write(link, kBreakpointRegisters + 4 * n, entry, 4);
  }
  print_message(" Set break point ok! \t\n");
}
