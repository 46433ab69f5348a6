#include "sim/target_chip.h"

#include "sim/chip_registers.h"
#include "sim/nor_flash.h"

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
      registers_(new ChipRegisters(context.settings)) {
  bus_.attach(kIdentityFirst, kIdentityLast, registers_.get());
}

TargetChip::~TargetChip() = default;

void TargetChip::write(uint32_t address, const uint8_t *data, size_t n, bool fixed) {
  advance();
  for (size_t i = 0; i < n; ++i) bus_.write(fixed ? address : uint32_t(address + i), data[i]);
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
}

void TargetChip::advance() {}

void TargetChip::set_activated(bool on) { registers_->set_activated(on); }

}  // namespace zk32sim
