// SPDX-License-Identifier: Apache-2.0
// The core and its debug registers:
//   0x602  core control: 5 = reset request (reads back with bits 0 and 2 set from the
//          `reset-ready-after`th read since the request on, however often the request is
//          repeated meanwhile), the start byte (0x88; 0x80 on MCU type 4) starts
//          the core at the SRAM base, bit 1 halts, clearing bit 1 resumes;
//   0x6f   reset register: 0x20 resets the MCU (the core and every other part of the chip),
//          which then runs the firmware in flash;
//   0x610..0x61f  four breakpoints (address bytes 0..2, enable bit 0 of byte 3);
//   0x613  also run control: bit 7 written while halted takes one step;
//   0x6bc..0x6bf  program counter (read-only; `pc-set` sets it from outside).
// A running core executes about one instruction per microsecond of real time, worked out
// when a request arrives.
#ifndef ZK32SIM_CORE_H
#define ZK32SIM_CORE_H

#include <cstdint>

#include "sim/bus.h"
#include "sim/clock.h"
#include "sim/core_isa.h"
#include "sim/settings.h"

namespace zk32sim {

class NorFlash;

constexpr uint32_t kCoreControl = 0x602;
constexpr uint32_t kResetRegister = 0x6f;
constexpr uint32_t kBreakpoints = 0x610;
constexpr uint32_t kRunControl = 0x613;
constexpr uint32_t kProgramCounter = 0x6bc;
constexpr uint8_t kResetRequest = 0x05;

class Core : public Peripheral, private CoreMemory {
 public:
  enum class Program { kFlash, kSram, kFlashWriter };

  Core(Bus &bus, NorFlash &flash, const Settings &settings, const Clock &clock, int mcu_type,
       uint32_t sram_base);

  uint8_t read(uint32_t address) override;
  void write(uint32_t address, uint8_t value) override;
  uint8_t peek(uint32_t address) override;
  void reset() override;

  // Runs the core up to the present.
  void advance(double now);
  // The core runs one of our flash-writer images (it then serves the writer mailbox).
  bool serving_flash_writer() const {
    return program_ == Program::kFlashWriter && !held_ && !halted();
  }
  // A reset request holds the core (the state an OTP write needs).
  bool held() const { return held_; }
  uint32_t pc() const { return regs_.pc; }
  void set_pc(uint32_t pc) { regs_.pc = pc; }

 private:
  bool halted() const { return (control_ & 0x02) != 0; }
  bool running() const { return !held_ && !halted() && program_ != Program::kFlashWriter; }
  void write_control(uint8_t value);
  void start(Program program, uint32_t pc);
  uint32_t fetch(uint32_t address);
  // Loads read what a fetch reads (flash below the SRAM base); stores reach the registers
  // and SRAM through the bus, the UART transmitter among them.
  uint8_t load(uint32_t address) override;
  void store(uint32_t address, uint8_t value) override;
  void step();
  bool at_breakpoint() const;
  uint8_t start_byte() const { return mcu_type_ == 4 ? 0x80 : 0x88; }

  Bus &bus_;
  NorFlash &flash_;
  const Settings &settings_;
  const Clock &clock_;
  int mcu_type_;
  uint32_t sram_base_;
  uint8_t control_ = 0;
  bool held_ = false;      // reset request pending: the core does nothing
  int reset_reads_ = 0;
  Program program_ = Program::kFlash;
  CoreRegisters regs_;
  uint8_t breakpoints_[16] = {};
  double last_ms_ = -1;
  bool skip_breakpoint_ = false;  // the first instruction after resuming ignores breakpoints
};

}  // namespace zk32sim

#endif
