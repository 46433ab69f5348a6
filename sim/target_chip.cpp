// SPDX-License-Identifier: Apache-2.0
#include "sim/target_chip.h"

#include "sim/analog_window.h"
#include "sim/chip_registers.h"
#include "sim/core.h"
#include "sim/flash_writer.h"
#include "sim/nor_flash.h"
#include "sim/otp_array.h"
#include "sim/spi_flash_port.h"
#include "sim/uart_port.h"

namespace zk32sim {

namespace {
// The chip decodes 22 address bits, the most the long request layout can carry.
constexpr uint32_t kAddressSpace = 1u << 22;
bool high_family(int mcu_type) { return mcu_type == 3 || mcu_type == 4; }
}  // namespace

TargetChip::TargetChip(int mcu_type, uint32_t flash_size, ChipContext context)
    : mcu_type_(mcu_type),
      sram_base_(high_family(mcu_type) ? 0x40000 : 0x8000),
      sram_size_(high_family(mcu_type) ? 0x40000 : 0x10000),
      context_(context),
      bus_(kAddressSpace),
      flash_(new NorFlash(flash_size)),
      registers_(new ChipRegisters(context.settings)),
      core_(new Core(bus_, *flash_, context.settings, context.clock, mcu_type, sram_base_)),
      writer_(new FlashWriter(bus_, *flash_, *core_, context.settings, context.faults,
                              context.trace, mcu_type, sram_base_, sram_size_)),
      analog_(new AnalogWindow(context.settings, context.clock)),
      spi_(new SpiFlashPort(*flash_)),
      otp_(new OtpArray(bus_, *analog_, *core_)),
      uart_(new UartPort) {
  bus_.list(writer_.get());
  bus_.attach(kIdentityFirst, kIdentityLast, registers_.get());
  bus_.attach(kCoreControl, kCoreControl, core_.get());
  bus_.attach(kResetRegister, kResetRegister, core_.get());
  bus_.attach(kBreakpoints, kBreakpoints + 15, core_.get());
  bus_.attach(kProgramCounter, kProgramCounter + 3, core_.get());
  bus_.attach(kAnalogAddress, kAnalogControl, analog_.get());
  bus_.attach(kSpiData, kSpiControl, spi_.get());
  bus_.attach(0x00, 0x00, otp_.get());
  bus_.attach(kOtpAddressLow, kOtpMode, otp_.get());
  bus_.attach(kUartTransmit, kUartTransmit, uart_.get());
}

TargetChip::~TargetChip() = default;

// Time-based behaviour catches up before and after every transfer, so that a command the
// flash writer can finish at once is finished before the host's next request.
void TargetChip::write(uint32_t address, const uint8_t *data, size_t n, bool fixed) {
  advance();
  for (size_t i = 0; i < n; ++i) bus_.write(fixed ? address : uint32_t(address + i), data[i]);
  advance();
}

void TargetChip::read(uint32_t address, uint8_t *out, size_t n, bool fixed) {
  advance();
  for (size_t i = 0; i < n; ++i) out[i] = bus_.read(fixed ? address : uint32_t(address + i));
}

uint8_t TargetChip::peek(uint32_t address) {
  advance();
  return bus_.peek(address);
}

void TargetChip::poke(uint32_t address, uint8_t value) {
  advance();
  bus_.write(address, value);
  advance();
}

void TargetChip::advance() {
  double now = context_.clock.now_ms();
  core_->advance(now);
  writer_->advance(now);
}

void TargetChip::set_activated(bool on) { registers_->set_activated(on); }

}  // namespace zk32sim
