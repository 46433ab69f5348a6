#include "sim/chip_registers.h"

namespace zk32sim {

uint8_t ChipRegisters::read(uint32_t address) {
  if (address == kStatusByte) {
    if (settings_.status_byte >= 0) return uint8_t(settings_.status_byte);
    if (activated_) return 'S';
  }
  return uint8_t(settings_.identity >> (8 * (address - kIdentityFirst)));
}

}  // namespace zk32sim
