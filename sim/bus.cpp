// SPDX-License-Identifier: Apache-2.0
#include "sim/bus.h"

#include <algorithm>

namespace zk32sim {

Bus::Bus(uint32_t size) : mask_(size - 1), storage_(size, 0), routes_(kRoutedSpan, nullptr) {}

void Bus::attach(uint32_t first, uint32_t last, Peripheral *peripheral) {
  for (uint32_t a = first; a <= last && a < kRoutedSpan; ++a) routes_[a] = peripheral;
  list(peripheral);
}

void Bus::list(ChipPart *part) {
  if (std::find(parts_.begin(), parts_.end(), part) == parts_.end()) parts_.push_back(part);
}

void Bus::reset_parts() {
  for (ChipPart *part : parts_) part->reset();
}

uint8_t Bus::read(uint32_t address) {
  address &= mask_;
  if (address < kRoutedSpan && routes_[address]) return routes_[address]->read(address);
  return storage_[address];
}

void Bus::write(uint32_t address, uint8_t value) {
  address &= mask_;
  if (address < kRoutedSpan && routes_[address]) {
    routes_[address]->write(address, value);
    return;
  }
  storage_[address] = value;
}

uint8_t Bus::peek(uint32_t address) {
  address &= mask_;
  if (address < kRoutedSpan && routes_[address]) return routes_[address]->peek(address);
  return storage_[address];
}

}  // namespace zk32sim
