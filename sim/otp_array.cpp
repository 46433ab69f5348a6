// SPDX-License-Identifier: Apache-2.0
#include "sim/otp_array.h"

#include "sim/analog_window.h"
#include "sim/core.h"

namespace zk32sim {

bool OtpArray::write_set_up() const {
  static const uint8_t kClockSetUp[6] = {0x00, 0x00, 0x00, 0xff, 0xff, 0x07};
  for (uint32_t i = 0; i < 6; ++i) {
    if (bus_.raw(0x60 + i) != kClockSetUp[i]) return false;
  }
  return bus_.raw(0x71) == 0x24 && bus_.raw(kOtpKey) == 0x7e && analog_.analog(0x88) == 0x92 &&
         core_.held();
}

uint8_t OtpArray::peek(uint32_t address) {
  if (address == kOtpRead && reading()) return cells_[uint16_t(this->address() + clocks_)];
  return bus_.raw(address);
}

uint8_t OtpArray::read(uint32_t address) {
  if (reading() && (address == kOtpData || address == 0x00 || address == kOtpRead)) {
    ++clocks_;
  }
  return peek(address);
}

void OtpArray::write(uint32_t address, uint8_t value) {
  bus_.raw(address) = value;
  if (address == kOtpAddressLow || address == kOtpAddressHigh || address == kOtpMode) {
    clocks_ = 0;
  }
  if (address == kOtpData && bus_.raw(kOtpMode) == 0x02 && write_set_up()) {
    cells_[this->address()] |= value;
  }
}

}  // namespace zk32sim
