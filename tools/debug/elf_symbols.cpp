// SPDX-License-Identifier: Apache-2.0
// The symbol table of an ELF32 little-endian file (the firmware linker's output), for names
// beyond the listing's routines.  Every offset and size read from the file is checked against
// the file's length before it is used.
#include <cstdio>
#include <cstring>

#include "tools/debug/symbols.h"

namespace {

constexpr std::size_t kLargestFile = 64u << 20;
constexpr std::size_t kHeaderSize = 52;
constexpr std::size_t kSectionHeaderSize = 40;
constexpr std::size_t kSymbolSize = 16;
constexpr uint32_t kSymbolTableType = 2;  // SHT_SYMTAB
constexpr unsigned kNoType = 0, kObject = 1, kFunction = 2;

uint32_t le32(const std::vector<uint8_t> &b, std::size_t at) {
  return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 |
         uint32_t(b[at + 3]) << 24;
}
uint16_t le16(const std::vector<uint8_t> &b, std::size_t at) {
  return uint16_t(b[at] | b[at + 1] << 8);
}
bool inside(const std::vector<uint8_t> &b, uint64_t at, uint64_t size) {
  return at <= b.size() && size <= b.size() - at;
}

bool read_whole(const std::string &path, std::vector<uint8_t> *bytes) {
  std::FILE *file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return false;
  uint8_t block[65536];
  std::size_t got;
  while ((got = std::fread(block, 1, sizeof block, file)) > 0 && bytes->size() <= kLargestFile)
    bytes->insert(bytes->end(), block, block + got);
  std::fclose(file);
  return bytes->size() <= kLargestFile;
}

// A name from the string table section (offset, size), or empty when out of bounds.
std::string name_at(const std::vector<uint8_t> &b, uint32_t table, uint32_t size, uint32_t at) {
  if (at >= size || !inside(b, table, size)) return "";
  const char *start = reinterpret_cast<const char *>(b.data() + table + at);
  return std::string(start, strnlen(start, size - at));
}

}  // namespace

bool add_elf_symbols(const std::string &path, symbol_list *list, std::string *error) {
  std::vector<uint8_t> b;
  if (!read_whole(path, &b)) {
    *error = "cannot read the ELF file " + path;
    return false;
  }
  if (b.size() < kHeaderSize || std::memcmp(b.data(), "\x7f" "ELF", 4) != 0 || b[4] != 1 ||
      b[5] != 1) {
    *error = path + " is no ELF32 little-endian file";
    return false;
  }
  const uint32_t sections = le32(b, 0x20);
  const uint16_t entry_size = le16(b, 0x2e);
  const uint16_t count = le16(b, 0x30);
  if (entry_size < kSectionHeaderSize || !inside(b, sections, uint64_t(entry_size) * count)) {
    *error = path + ": its section headers lie outside the file";
    return false;
  }
  for (uint16_t s = 0; s < count; ++s) {
    const std::size_t header = sections + std::size_t(entry_size) * s;
    if (le32(b, header + 4) != kSymbolTableType) continue;
    const uint32_t table = le32(b, header + 0x10), size = le32(b, header + 0x14);
    const uint32_t link = le32(b, header + 0x18);
    if (!inside(b, table, size) || link >= count) continue;
    const std::size_t strings = sections + std::size_t(entry_size) * link;
    const uint32_t string_table = le32(b, strings + 0x10), string_size = le32(b, strings + 0x14);
    for (uint32_t at = table; at + kSymbolSize <= table + size; at += kSymbolSize) {
      const unsigned type = b[at + 12] & 0xf;
      const uint16_t section = le16(b, at + 14);
      if (section == 0 || (type != kNoType && type != kObject && type != kFunction)) continue;
      const std::string name = name_at(b, string_table, string_size, le32(b, at));
      if (name.empty() || name[0] == '$' || name[0] == '.') continue;
      add_symbol(list, name, le32(b, at + 4));
    }
  }
  return true;
}
