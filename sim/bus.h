// An address space of plain byte storage with peripherals attached at the addresses they
// own.  A peripheral sees every byte access to its addresses; everything else is a plain
// register that holds what was last written.  The bus keeps the list of its peripherals, so
// that a chip reset reaches every one of them.
#ifndef ZK32SIM_BUS_H
#define ZK32SIM_BUS_H

#include <cstdint>
#include <vector>

namespace zk32sim {

class Peripheral {
 public:
  virtual ~Peripheral() = default;
  virtual uint8_t read(uint32_t address) = 0;
  virtual void write(uint32_t address, uint8_t value) = 0;
  // A read from outside (control language): no side effects.  Default: the plain read.
  virtual uint8_t peek(uint32_t address) { return read(address); }
  // Called when the owning chip is reset as a whole (Bus::reset_peripherals).
  virtual void reset() {}
};

class Bus {
 public:
  // size: a power of two; addresses wrap at it (higher address bits are not decoded).
  explicit Bus(uint32_t size);

  // Routes first..last (inclusive, below 0x10000) to the peripheral and lists it.
  void attach(uint32_t first, uint32_t last, Peripheral *peripheral);
  // A chip reset: every listed peripheral, once each, in the order they were attached.
  void reset_peripherals();

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
  std::vector<Peripheral *> peripherals_;
};

}  // namespace zk32sim

#endif
