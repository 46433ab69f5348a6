// SPDX-License-Identifier: Apache-2.0
// The one-time-programmable array (64 K bytes, blank = 0x00; programming can only set bits,
// so a programmed bit stays programmed) and its registers:
//   0x10, 0x11  address low and high byte
//   0x13        data register: in write mode each byte written here is programmed
//   0x19        read register
//   0x1a        mode: 0x02 write, 0x06 read
// Programming takes effect only with the write set-up in place: 0x60..0x62 = 00 00 00,
// 0x63..0x65 = ff ff 07, 0x71 = 0x24, 0x12 = 0x7e, analog register 0x88 = 0x92 and the
// core held by a reset request.  Reading is pipelined: after the address and read mode are
// set, every read of 0x13, 0x00 or 0x19 moves the pipeline on by one byte, and a read of
// 0x19 returns the byte at the address plus the number of such reads so far - so the fourth
// read after setting address A - 4 returns the byte at A.
#ifndef ZK32SIM_OTP_ARRAY_H
#define ZK32SIM_OTP_ARRAY_H

#include <cstdint>
#include <vector>

#include "sim/bus.h"

namespace zk32sim {

class AnalogWindow;
class Core;

constexpr uint32_t kOtpAddressLow = 0x10;
constexpr uint32_t kOtpAddressHigh = 0x11;
constexpr uint32_t kOtpKey = 0x12;
constexpr uint32_t kOtpData = 0x13;
constexpr uint32_t kOtpRead = 0x19;
constexpr uint32_t kOtpMode = 0x1a;

class OtpArray : public Peripheral {
 public:
  OtpArray(Bus &bus, const AnalogWindow &analog, const Core &core)
      : bus_(bus), analog_(analog), core_(core), cells_(0x10000, 0) {}
  uint8_t read(uint32_t address) override;
  void write(uint32_t address, uint8_t value) override;
  uint8_t peek(uint32_t address) override;

  uint8_t cell(uint16_t address) const { return cells_[address]; }

 private:
  bool write_set_up() const;
  uint16_t address() const {
    return uint16_t(bus_.raw(kOtpAddressLow) | bus_.raw(kOtpAddressHigh) << 8);
  }
  bool reading() const { return bus_.raw(kOtpMode) == 0x06; }

  Bus &bus_;
  const AnalogWindow &analog_;
  const Core &core_;
  std::vector<uint8_t> cells_;
  uint32_t clocks_ = 0;
};

}  // namespace zk32sim

#endif
