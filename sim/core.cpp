// SPDX-License-Identifier: Apache-2.0
#include "sim/core.h"

#include "sim/nor_flash.h"
#include "sim/writer_image.h"

namespace zk32sim {

namespace {
constexpr double kInstructionsPerMs = 1000.0;
// Work done per request at most, so that a long pause never makes one request slow.
constexpr long kMaxStepsPerAdvance = 200000;
constexpr uint32_t kWriterIdlePc = 0x40;  // the flash writer waits in its polling loop
}  // namespace

Core::Core(Bus &bus, NorFlash &flash, const Settings &settings, const Clock &clock,
           int mcu_type, uint32_t sram_base)
    : bus_(bus),
      flash_(flash),
      settings_(settings),
      clock_(clock),
      mcu_type_(mcu_type),
      sram_base_(sram_base) {
  reset();
}

void Core::reset() {
  control_ = 0;
  held_ = false;
  reset_reads_ = 0;
  regs_ = CoreRegisters();
  program_ = Program::kFlash;
  last_ms_ = clock_.now_ms();
  skip_breakpoint_ = false;
}

void Core::start(Program program, uint32_t pc) {
  program_ = program;
  regs_ = CoreRegisters();
  regs_.pc = pc;
  held_ = false;
  last_ms_ = clock_.now_ms();
  skip_breakpoint_ = false;
}

uint8_t Core::peek(uint32_t address) {
  if (address == kCoreControl) {
    bool ready = !held_ || reset_reads_ + 1 >= settings_.reset_ready_after;
    return ready ? control_ : uint8_t(control_ & ~0x04);
  }
  if (address == kResetRegister) return bus_.raw(address);
  if (address >= kProgramCounter && address < kProgramCounter + 4) {
    return uint8_t(regs_.pc >> (8 * (address - kProgramCounter)));
  }
  if (address >= kBreakpoints && address < kBreakpoints + 16) {
    return breakpoints_[address - kBreakpoints];
  }
  return bus_.raw(address);
}

uint8_t Core::read(uint32_t address) {
  uint8_t value = peek(address);
  if (address == kCoreControl && held_) ++reset_reads_;
  return value;
}

void Core::write(uint32_t address, uint8_t value) {
  if (address == kCoreControl) {
    write_control(value);
  } else if (address == kResetRegister) {
    if (value == 0x20) {
      // The whole chip restarts, the core with every other part, and boots the firmware in flash.
      bus_.reset_parts();
    } else {
      bus_.raw(address) = value;
    }
  } else if (address >= kBreakpoints && address < kBreakpoints + 16) {
    breakpoints_[address - kBreakpoints] = value;
    if (address == kRunControl && (value & 0x80) && halted() && !held_) {
      step();
      breakpoints_[kRunControl - kBreakpoints] &= 0x7f;  // the step request clears itself
    }
  }
  // The program counter is read-only.
}

void Core::write_control(uint8_t value) {
  uint8_t before = control_;
  control_ = value;
  if (value == kResetRequest) {
    // Held in reset: the core stops and its program counter returns to 0.  Repeating the
    // request while it is pending does not restart the count of reads until ready.
    if (!held_) reset_reads_ = 0;
    held_ = true;
    regs_ = CoreRegisters();
    return;
  }
  if (value & 0x02) return;  // halted
  if ((before & 0x02) && !held_) {
    // Clearing the halt bit resumes where the core stopped, whatever else the byte holds.
    last_ms_ = clock_.now_ms();
    skip_breakpoint_ = true;
    return;
  }
  if (value == start_byte()) {
    if (is_writer_image(bus_, sram_base_)) {
      start(Program::kFlashWriter, sram_base_ + kWriterIdlePc);
    } else {
      start(Program::kSram, sram_base_);
    }
    return;
  }
  if (!held_) last_ms_ = clock_.now_ms();
}

uint32_t Core::fetch(uint32_t address) {
  uint32_t word = 0;
  for (uint32_t i = 0; i < 4; ++i) {
    uint32_t a = address + i;
    uint8_t byte = a < flash_.size() && a < sram_base_ ? flash_.read(a) : bus_.raw(a);
    word |= uint32_t(byte) << (8 * i);
  }
  return word;
}

uint8_t Core::load(uint32_t address) {
  return address < flash_.size() && address < sram_base_ ? flash_.read(address)
                                                         : bus_.read(address);
}

void Core::store(uint32_t address, uint8_t value) { bus_.write(address, value); }

bool Core::at_breakpoint() const {
  for (int n = 0; n < 4; ++n) {
    const uint8_t *e = breakpoints_ + 4 * n;
    uint32_t address = uint32_t(e[0]) | uint32_t(e[1]) << 8 | uint32_t(e[2]) << 16;
    if ((e[3] & 1) && address == (regs_.pc & 0xffffff)) return true;
  }
  return false;
}

void Core::step() {
  execute_instruction(fetch(regs_.pc), &regs_, this);
  // Flash code wraps at the end of the flash, as the address decoder ignores higher bits.
  if (program_ == Program::kFlash && regs_.pc >= flash_.size() && regs_.pc < sram_base_) {
    regs_.pc %= flash_.size();
  }
}

void Core::advance(double now) {
  if (!running()) {
    last_ms_ = now;
    return;
  }
  double elapsed = now - last_ms_;
  long steps = long(elapsed * kInstructionsPerMs);
  if (steps <= 0) return;
  last_ms_ += double(steps) / kInstructionsPerMs;
  if (steps > kMaxStepsPerAdvance) steps = kMaxStepsPerAdvance;
  for (long i = 0; i < steps; ++i) {
    if (!skip_breakpoint_ && at_breakpoint()) {
      control_ |= 0x02;  // a breakpoint halts the core, as the halt bit shows
      return;
    }
    skip_breakpoint_ = false;
    step();
  }
}

}  // namespace zk32sim
