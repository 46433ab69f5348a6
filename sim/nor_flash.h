// SPDX-License-Identifier: Apache-2.0
// The chip's NOR flash: erase sets a 4 KB sector to 0xff, programming can only clear bits.
#ifndef ZK32SIM_NOR_FLASH_H
#define ZK32SIM_NOR_FLASH_H

#include <cstdint>
#include <string>
#include <vector>

namespace zk32sim {

constexpr uint32_t kSectorSize = 4096;
constexpr uint32_t kPageSize = 256;

class NorFlash {
 public:
  explicit NorFlash(uint32_t size) : bytes_(size, 0xff) {}
  uint32_t size() const { return uint32_t(bytes_.size()); }
  // Addresses wrap at the flash size, as the address decoder ignores higher bits.
  uint8_t read(uint32_t address) const { return bytes_[address % size()]; }
  void erase_sector(uint32_t address);
  void program(uint32_t address, uint8_t value) { bytes_[address % size()] &= value; }
  // Sets the byte as given, outside the erase rules (control language, loading).
  void set(uint32_t address, uint8_t value) { bytes_[address % size()] = value; }
  bool save(const std::string &path) const;
  bool load(const std::string &path);

 private:
  std::vector<uint8_t> bytes_;
};

}  // namespace zk32sim

#endif
