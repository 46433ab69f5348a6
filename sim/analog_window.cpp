// SPDX-License-Identifier: Apache-2.0
#include "sim/analog_window.h"

namespace zk32sim {

namespace {
constexpr uint8_t kStartRead = 0x40;
constexpr uint8_t kStartWrite = 0x60;
}  // namespace

void AnalogWindow::reset() {
  address_ = data_ = control_ = 0;
  pending_ = false;
}

bool AnalogWindow::busy(double now) {
  if (pending_ && !forever_ && now >= done_ms_) finish();
  return pending_;
}

void AnalogWindow::finish() {
  pending_ = false;
  // The access completes as started, even if the control register was rewritten meanwhile.
  if (started_ == kStartRead) data_ = analog_[address_];
  if (started_ == kStartWrite) analog_[address_] = data_;
}

uint8_t AnalogWindow::peek(uint32_t address) {
  bool is_busy = busy(clock_.now_ms());
  if (address == kAnalogAddress) return address_;
  if (address == kAnalogData) return data_;
  return uint8_t((control_ & 0xfe) | (is_busy ? 1 : 0));
}

uint8_t AnalogWindow::read(uint32_t address) { return peek(address); }

void AnalogWindow::write(uint32_t address, uint8_t value) {
  busy(clock_.now_ms());
  if (address == kAnalogAddress) {
    address_ = value;
  } else if (address == kAnalogData) {
    data_ = value;
  } else {
    control_ = value;
    if (value != kStartRead && value != kStartWrite) return;
    int ms = settings_.analog_busy_ms;
    pending_ = true;
    started_ = value;
    forever_ = ms == kNever;
    done_ms_ = clock_.now_ms() + (ms > 0 ? ms : 0);
    if (!forever_ && ms <= 0) finish();
  }
}

}  // namespace zk32sim
