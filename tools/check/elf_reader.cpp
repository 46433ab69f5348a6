// SPDX-License-Identifier: Apache-2.0
// The ELF header and program headers, read field by field in the file's byte order; nothing
// is taken from the file without a bounds check against its size.
#include "tools/check/elf_reader.h"

#include <cstdint>

namespace {

constexpr uint32_t kLoadSegment = 1;  // PT_LOAD

struct elf_view {
  const std::string &file;
  bool wide;        // ELFCLASS64
  bool big_endian;  // ELFDATA2MSB

  // Bytes at offset as an unsigned number of size bytes; the caller has checked the bounds.
  uint64_t number(uint64_t offset, int size) const {
    uint64_t value = 0;
    for (int i = 0; i < size; ++i) {
      const uint64_t byte = static_cast<uint8_t>(file[offset + (big_endian ? i : size - 1 - i)]);
      value = value << 8 | byte;
    }
    return value;
  }
  // A word that is 4 bytes in 32-bit files and 8 in 64-bit ones (addresses, offsets, sizes).
  uint64_t word(uint64_t offset) const { return number(offset, wide ? 8 : 4); }
};

struct program_header {
  uint64_t type, offset, paddr, filesz, memsz;
};

program_header read_program_header(const elf_view &elf, uint64_t at) {
  program_header ph{};
  ph.type = elf.number(at, 4);
  if (elf.wide) {
    ph.offset = elf.word(at + 8);
    ph.paddr = elf.word(at + 24);
    ph.filesz = elf.word(at + 32);
    ph.memsz = elf.word(at + 40);
  } else {
    ph.offset = elf.word(at + 4);
    ph.paddr = elf.word(at + 12);
    ph.filesz = elf.word(at + 16);
    ph.memsz = elf.word(at + 20);
  }
  return ph;
}

std::string in_segment(uint64_t index, const char *what) {
  return "program header " + std::to_string(index) + ": " + what;
}

}  // namespace

bool read_elf(const std::string &file, std::vector<image_segment> *segments, std::string *error) {
  segments->clear();
  const uint64_t size = file.size();
  if (size < 16 || (file[4] != 1 && file[4] != 2) || (file[5] != 1 && file[5] != 2) ||
      file[6] != 1) {
    *error = "not an ELF file of a known class, byte order and version";
    return false;
  }
  const elf_view elf{file, file[4] == 2, file[5] == 2};
  const uint64_t header_size = elf.wide ? 64 : 52;
  if (size < header_size) {
    *error = "the ELF header is cut short";
    return false;
  }
  const uint64_t phoff = elf.word(elf.wide ? 32 : 28);
  const uint64_t phentsize = elf.number(elf.wide ? 54 : 42, 2);
  const uint64_t phnum = elf.number(elf.wide ? 56 : 44, 2);
  if (phnum == 0) {
    *error = "no program headers: give the linked executable, not an object file";
    return false;
  }
  if (phentsize < (elf.wide ? 56u : 32u) || phoff > size || phnum * phentsize > size - phoff) {
    *error = "the program headers lie outside the file";
    return false;
  }
  for (uint64_t i = 0; i < phnum; ++i) {
    const program_header ph = read_program_header(elf, phoff + i * phentsize);
    if (ph.type != kLoadSegment || ph.filesz == 0) continue;
    if (ph.filesz > ph.memsz) {
      *error = in_segment(i, "more bytes in the file than in memory");
      return false;
    }
    if (ph.offset > size || ph.filesz > size - ph.offset) {
      *error = in_segment(i, "the segment's bytes lie outside the file");
      return false;
    }
    if (ph.paddr >= (uint64_t{1} << 32) ||
        !append_segment_bytes(segments, ph.paddr,
                              reinterpret_cast<const uint8_t *>(file.data() + ph.offset),
                              static_cast<std::size_t>(ph.filesz))) {
      *error = in_segment(i, "the segment's physical address is beyond 32 bits");
      return false;
    }
  }
  return true;
}
