// SPDX-License-Identifier: Apache-2.0
#include "sim/chip_registers.h"

namespace zk32sim {

uint32_t identity_of_type(int mcu_type) {
  switch (mcu_type) {
    case 2: return 0x4712;
    case 3: return 0x4715;
    case 4: return 0x4716;
    default: return 0x4710;
  }
}

uint8_t ChipRegisters::read(uint32_t address) {
  if (address == kStatusByte) {
    if (settings_.status_byte >= 0) return uint8_t(settings_.status_byte);
    if (activated_) return 'S';
  }
  return uint8_t(settings_.identity >> (8 * (address - kIdentityFirst)));
}

}  // namespace zk32sim
