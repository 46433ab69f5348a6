// SPDX-License-Identifier: Apache-2.0
#include "sim/nor_flash.h"

#include <cstdio>

#include "wire/regular_file.h"

namespace zk32sim {

void NorFlash::erase_sector(uint32_t address) {
  uint32_t start = (address % size()) / kSectorSize * kSectorSize;
  for (uint32_t i = 0; i < kSectorSize && start + i < size(); ++i) bytes_[start + i] = 0xff;
}

bool NorFlash::save(const std::string &path) const {
  FILE *f = dn_open_regular(path.c_str(), "wb");
  if (!f) return false;
  bool ok = fwrite(bytes_.data(), 1, bytes_.size(), f) == bytes_.size();
  return fclose(f) == 0 && ok;
}

// A file shorter than the flash fills its start; the rest is left erased.
bool NorFlash::load(const std::string &path) {
  FILE *f = dn_open_regular(path.c_str(), "rb");
  if (!f) return false;
  std::vector<uint8_t> data(bytes_.size(), 0xff);
  size_t got = fread(data.data(), 1, data.size(), f);
  bool ok = !ferror(f);
  fclose(f);
  if (!ok) return false;
  (void)got;
  bytes_.swap(data);
  return true;
}

}  // namespace zk32sim
