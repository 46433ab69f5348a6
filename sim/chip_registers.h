// SPDX-License-Identifier: Apache-2.0
// The chip's identity bytes 0x7e..0x81 (the identity word, little-endian) and, sharing
// 0x7f, the activation status byte: once an EVK probe has activated the chip it reads 'S'.
// A status byte set from outside (`set status-byte`) wins over both.
#ifndef ZK32SIM_CHIP_REGISTERS_H
#define ZK32SIM_CHIP_REGISTERS_H

#include "sim/bus.h"
#include "sim/settings.h"

namespace zk32sim {

constexpr uint32_t kIdentityFirst = 0x7e;
constexpr uint32_t kIdentityLast = 0x81;
constexpr uint32_t kStatusByte = 0x7f;

// The identity word a chip of this MCU type reports: its chip name in the simulator's chip
// table (sim/data/config.ini) read as a hexadecimal number, as a real chip reports its own.
uint32_t identity_of_type(int mcu_type);

class ChipRegisters : public Peripheral {
 public:
  explicit ChipRegisters(const Settings &settings) : settings_(settings) {}
  uint8_t read(uint32_t address) override;
  void write(uint32_t, uint8_t) override {}  // read-only
  void reset() override { activated_ = false; }
  void set_activated(bool on) { activated_ = on; }

 private:
  const Settings &settings_;
  bool activated_ = false;
};

}  // namespace zk32sim

#endif
