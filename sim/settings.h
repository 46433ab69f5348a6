// SPDX-License-Identifier: Apache-2.0
// What the control language can change at run time: the `set` keys and the injected faults.
// One instance per device, shared by the chip, the probe and the request decoder.
#ifndef ZK32SIM_SETTINGS_H
#define ZK32SIM_SETTINGS_H

#include <cstdint>

namespace zk32sim {

constexpr int kNever = -1;  // a delay that never ends

struct Settings {
  int reset_ready_after = 1;     // 0x602 reads back ready from this read after a write of 5
  int analog_busy_ms = 0;        // busy bit of 0xba after an analog access, or kNever
  int activation_ms = 0;         // delay of an activation step, or kNever
  int status_byte = -1;          // target 0x7f as set from outside (-1: not set)
  uint32_t identity = 0x00004710;  // chip bytes 0x7e..0x81, 0x7e = least significant
  int writer_erase_ms = 0;
  int writer_program_ms = 0;
  int writer_read_ms = 0;
  int evk_command_ms = 0;        // time the probe takes for one EVK command
};

// Realistic latencies, used with --timing real or `set timing real`.
inline void apply_timing(Settings &s, bool zero) {
  s.writer_erase_ms = zero ? 0 : 40;
  s.writer_program_ms = zero ? 0 : 2;
  s.writer_read_ms = 0;
  s.evk_command_ms = zero ? 0 : 1;
  s.analog_busy_ms = zero ? 0 : 1;
  s.activation_ms = zero ? 0 : 300;
}

struct Faults {
  int stall_in = 0;  // the Nth control transfer from now fails (0: none)
  bool read_fail = false, write_fail = false;
  uint32_t read_fail_addr = 0, write_fail_addr = 0;
  int read_fail_count = -1, write_fail_count = -1;  // -1: every time
  bool vlane_read_fail = false, vlane_write_fail = false;
  uint32_t vlane_read_fail_addr = 0, vlane_write_fail_addr = 0;
  int pieces = 0;  // IN replies in pieces of at most this many bytes (0: whole)
  bool vanished = false;
  bool probe_silent = false, probe_fail = false;
  bool writer_stuck = false, writer_bad_ack = false;
  bool erase_fail = false, program_fail = false;
  uint32_t erase_fail_addr = 0, program_fail_addr = 0;
  bool program_corrupt = false;  // a page program covering the address stores it altered
  uint32_t program_corrupt_addr = 0;
  bool vlane_broken = false;
  bool sw_readback_broken = false;
};

}  // namespace zk32sim

#endif
