// SPDX-License-Identifier: Apache-2.0
// The window onto the 256 analog registers:
//   0xb8  analog address register
//   0xb9  analog data register (the byte read, or the byte to write)
//   0xba  analog control register: 0x40 starts a read, 0x60 starts a write; bit 0 reads as
//         1 while the access is busy (`analog-busy-ms`, or for ever with "never").
// A read's data reaches 0xb9 when the access completes.
#ifndef ZK32SIM_ANALOG_WINDOW_H
#define ZK32SIM_ANALOG_WINDOW_H

#include <cstdint>

#include "sim/bus.h"
#include "sim/clock.h"
#include "sim/settings.h"

namespace zk32sim {

constexpr uint32_t kAnalogAddress = 0xb8;
constexpr uint32_t kAnalogData = 0xb9;
constexpr uint32_t kAnalogControl = 0xba;

class AnalogWindow : public Peripheral {
 public:
  AnalogWindow(const Settings &settings, const Clock &clock)
      : settings_(settings), clock_(clock) {}
  uint8_t read(uint32_t address) override;
  void write(uint32_t address, uint8_t value) override;
  uint8_t peek(uint32_t address) override;
  void reset() override;

  uint8_t analog(uint8_t number) const { return analog_[number]; }
  void set_analog(uint8_t number, uint8_t value) { analog_[number] = value; }

 private:
  bool busy(double now);
  void finish();

  const Settings &settings_;
  const Clock &clock_;
  uint8_t analog_[256] = {};
  uint8_t address_ = 0, data_ = 0, control_ = 0;
  bool pending_ = false;  // an access started and not yet carried out
  uint8_t started_ = 0;   // which access: kStartRead or kStartWrite
  double done_ms_ = 0;
  bool forever_ = false;
};

}  // namespace zk32sim

#endif
