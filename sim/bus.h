// SPDX-License-Identifier: Apache-2.0
// An address space of plain byte storage with peripherals attached at the addresses they
// own.  A peripheral sees every byte access to its addresses; everything else is a plain
// register that holds what was last written.  The bus keeps the list of the chip's parts (its
// peripherals, and parts such as the flash writer that own no addresses), so that a chip
// reset reaches every one of them.
#ifndef ZK32SIM_BUS_H
#define ZK32SIM_BUS_H

#include <cstdint>
#include <vector>

namespace zk32sim {

// A part of the chip that a chip reset returns to its power-up state (Bus::reset_parts).
class ChipPart {
 public:
  virtual ~ChipPart() = default;
  virtual void reset() {}
};

class Peripheral : public ChipPart {
 public:
  virtual uint8_t read(uint32_t address) = 0;
  virtual void write(uint32_t address, uint8_t value) = 0;
  // A read from outside (control language): no side effects.  Default: the plain read.
  virtual uint8_t peek(uint32_t address) { return read(address); }
};

class Bus {
 public:
  // size: a power of two; addresses wrap at it (higher address bits are not decoded).
  explicit Bus(uint32_t size);

  // Routes first..last (inclusive, below 0x10000) to the peripheral and lists it.
  void attach(uint32_t first, uint32_t last, Peripheral *peripheral);
  // Lists a part that owns no addresses.
  void list(ChipPart *part);
  // A chip reset: every listed part, once each, in the order they were listed.
  void reset_parts();

  uint8_t read(uint32_t address);
  void write(uint32_t address, uint8_t value);
  uint8_t peek(uint32_t address);
  // Plain storage, bypassing peripherals (for the peripherals themselves and for loading).
  uint8_t &raw(uint32_t address) { return storage_[address & mask_]; }
  uint32_t size() const { return mask_ + 1; }

 private:
  static constexpr uint32_t kRoutedSpan = 0x10000;
  uint32_t mask_;
  std::vector<uint8_t> storage_;
  std::vector<Peripheral *> routes_;
  std::vector<ChipPart *> parts_;
};

}  // namespace zk32sim

#endif
