// SPDX-License-Identifier: Apache-2.0
// The EVK probe: its own 64 KB memory, the EVK commands it takes through its mailbox, and
// the Vlane link to the target chip behind it.
//
// Probe memory:
//   0x7c..0x7f   probe id word 0x08180001 (read-only)
//   0x9ff0       completion word: 0 when a command is taken, the count when it is done, or
//                0x80000000 | count when it failed
//   0x9ff4       probe status word: changes when an activation step completes
//   0x9ff8       command word 0; 0x9ffc command word 1 (code << 16 | count)
//   0x9fff       also the probe control byte (0x10 / 0x50 before Vlane work, 0x4d = activate)
//   0xa000       staging buffer, 4096 bytes
//   elsewhere    plain probe registers (the single-wire probe register among them)
//
// A new command is a write that covers the whole command block 0x9ff8..0x9fff without the
// fixed-address flag: its last byte reaches the probe last.  A write that reaches 0x9fff
// without covering the block (the program's single control-byte writes) is a probe control
// byte, never a command; 0x4d starts an activation step.
#ifndef ZK32SIM_EVK_PROBE_H
#define ZK32SIM_EVK_PROBE_H

#include <cstddef>
#include <cstdint>

#include "sim/bus.h"
#include "sim/target_chip.h"

namespace zk32sim {

constexpr uint32_t kCompletionWord = 0x9ff0;
constexpr uint32_t kStatusWord = 0x9ff4;
constexpr uint32_t kCommandBlock = 0x9ff8;
constexpr uint32_t kControlByte = 0x9fff;
constexpr uint32_t kStagingBuffer = 0xa000;
constexpr uint32_t kStagingSize = 4096;
constexpr uint32_t kProbeIdWord = 0x08180001;
constexpr uint32_t kEvkFailure = 0x80000000;

class EvkProbe {
 public:
  EvkProbe(TargetChip &target, ChipContext context);

  // A vendor request on the probe's own memory.
  void write_request(uint32_t address, const uint8_t *data, size_t n, bool fixed);
  void read_request(uint32_t address, uint8_t *out, size_t n, bool fixed);
  uint8_t peek(uint32_t address);
  void poke(uint32_t address, uint8_t value);

 private:
  struct Command {
    uint16_t code = 0;
    uint32_t word0 = 0;
    uint32_t count = 0;
  };
  void advance();
  void take_command();
  bool carry_out(const Command &command);
  bool vlane_write(uint32_t address, uint32_t count);
  bool vlane_read(uint32_t address, uint32_t count);
  uint32_t word(uint32_t address);
  void put_word(uint32_t address, uint32_t value);

  TargetChip &target_;
  ChipContext context_;
  Bus bus_;
  bool pending_ = false;
  Command command_;
  double due_ms_ = 0;
  bool activating_ = false;
  double activation_due_ms_ = 0;
  bool have_single_wire_ = false;
  uint32_t single_wire_target_ = 0;  // the target register the single-wire set-up named
};

}  // namespace zk32sim

#endif
