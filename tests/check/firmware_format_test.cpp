// SPDX-License-Identifier: Apache-2.0
// Firmware files that carry their own addresses: each reader's edge cases, and the plan of
// downloads made from what they read.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/check/download_plan.h"
#include "tools/check/firmware_image.h"

namespace {

// A minimal ELF executable: the header, then one program header per segment, then the
// segments' file bytes.
struct elf_segment {
  uint32_t type;
  uint64_t paddr;
  std::string bytes;
  uint64_t memsz;
};

std::string build_elf(bool wide, bool big_endian, const std::vector<elf_segment> &segments) {
  std::string out;
  auto put = [&](uint64_t value, int size) {
    for (int i = 0; i < size; ++i) {
      const int shift = 8 * (big_endian ? size - 1 - i : i);
      out += static_cast<char>(value >> shift & 0xff);
    }
  };
  const int word = wide ? 8 : 4;
  const uint64_t header = wide ? 64 : 52, entry = wide ? 56 : 32;
  out = std::string("\x7f" "ELF", 4) + char(wide ? 2 : 1) + char(big_endian ? 2 : 1) + '\1';
  out.resize(16, '\0');
  put(2, 2);                // e_type: executable
  put(0, 2);                // e_machine
  put(1, 4);                // e_version
  put(0, word);             // e_entry
  put(header, word);        // e_phoff
  put(0, word);             // e_shoff
  put(0, 4);                // e_flags
  put(header, 2);           // e_ehsize
  put(entry, 2);            // e_phentsize
  put(segments.size(), 2);  // e_phnum
  put(0, 2);
  put(0, 2);
  put(0, 2);
  uint64_t data_at = header + entry * segments.size();
  for (const elf_segment &s : segments) {
    put(s.type, 4);
    if (wide) put(5, 4);  // p_flags
    put(data_at, word);   // p_offset
    put(s.paddr, word);   // p_vaddr
    put(s.paddr, word);   // p_paddr
    put(s.bytes.size(), word);
    put(s.memsz, word);
    if (!wide) put(5, 4);
    put(4, word);  // p_align
    data_at += s.bytes.size();
  }
  for (const elf_segment &s : segments) out += s.bytes;
  return out;
}

std::string describe(const std::vector<image_segment> &segments) {
  std::string text;
  for (const image_segment &s : segments) {
    char head[32];
    std::snprintf(head, sizeof head, "%x:", s.address);
    text += head;
    for (unsigned char c : s.bytes) {
      char b[4];
      std::snprintf(b, sizeof b, "%02x", c);
      text += b;
    }
    text += ' ';
  }
  return text;
}

TEST(FirmwareFormats, ReadEachFormatsEdgeCases) {
  struct Case {
    const char *name;
    std::string file;
    image_format format;
    const char *result;  // the segments, or the error's start
  };
  const Case cases[] = {
      // Intel HEX
      {"hex: data, CR LF, lower case", ":0300100001020ae0\r\n:00000001ff\r\n",
       image_format::intel_hex, "10:01020a "},
      {"hex: consecutive records join", ":020000000102FB\n:020002000304F5\n:00000001FF\n",
       image_format::intel_hex, "0:01020304 "},
      {"hex: extended linear address", ":020000040001F9\n:01800000552A\n:00000001FF\n",
       image_format::intel_hex, "18000:55 "},
      {"hex: a segment's offset wraps within 64 KB", ":020000021000EC\n:02FFFF00AABB9B\n:00000001FF\n",
       image_format::intel_hex, "1ffff:aa 10000:bb "},
      {"hex: start addresses load nothing", ":0400000500000100F6\n:0400000300000100F8\n:00000001FF\n",
       image_format::intel_hex, ""},
      {"hex: bad checksum", ":0100000055AB\n:00000001FF\n", image_format::intel_hex,
       "line 1: checksum 0xab, expected 0xaa"},
      {"hex: length field disagrees", ":020000005500\n:00000001FF\n", image_format::intel_hex,
       "line 1: the record's length"},
      {"hex: cut short (no end record)", ":0100000055AA\n", image_format::intel_hex,
       "no end-of-file record"},
      {"hex: a record after the end", ":00000001FF\n:0100000055AA\n", image_format::intel_hex,
       "line 2: a record after"},
      {"hex: unknown type", ":00000006FA\n:00000001FF\n", image_format::intel_hex,
       "line 1: unknown record type 6"},
      {"hex: linear data past 4 GB", ":02000004FFFFFC\n:02FFFF00AABB9B\n:00000001FF\n",
       image_format::intel_hex, "line 2: data past the end"},
      // S-records
      {"srec: S1 with header, count and S9", "S00600004844521B\nS1050010AABB85\nS5030001FB\nS9030000FC\n",
       image_format::srecord, "10:aabb "},
      {"srec: S3 32-bit address and S7", "S30701020304AABB89\nS70500000000FA\n",
       image_format::srecord, "1020304:aabb "},
      {"srec: bad checksum", "S1050010AABB86\nS9030000FC\n", image_format::srecord,
       "line 1: checksum 0x86, expected 0x85"},
      {"srec: record count disagrees", "S1050010AABB85\nS5030002FA\nS9030000FC\n",
       image_format::srecord, "line 2: the record count 2"},
      {"srec: cut short (no end record)", "S1050010AABB85\n", image_format::srecord,
       "no end record"},
      {"srec: reserved S4", "S4050010AABB85\nS9030000FC\n", image_format::srecord,
       "line 1: record type S4"},
      {"srec: count longer than the line", "S1060010AABB84\nS9030000FC\n", image_format::srecord,
       "line 1: the record's count"},
      // ELF
      {"elf32 LE: file bytes only, memsz beyond", build_elf(false, false, {{1, 0x100, "ab", 8}}),
       image_format::elf, "100:6162 "},
      {"elf64 BE: physical address, non-load skipped",
       build_elf(true, true, {{4, 0x0, "zz", 2}, {1, 0x8000, "c", 1}}), image_format::elf,
       "8000:63 "},
      {"elf: filesz above memsz", build_elf(false, false, {{1, 0, "abcd", 2}}), image_format::elf,
       "program header 0: more bytes in the file"},
      {"elf: segment past the file's end",
       build_elf(false, false, {{1, 0, "abcd", 4}}).substr(0, 52 + 32 + 2), image_format::elf,
       "program header 0: the segment's bytes lie outside"},
      {"elf: 64-bit address beyond 32 bits", build_elf(true, false, {{1, 0xffffffffull, "ab", 2}}),
       image_format::elf, "program header 0: the segment's physical address"},
      {"elf: object file without program headers", build_elf(false, false, {}), image_format::elf,
       "no program headers"},
      {"elf: program headers past the end", build_elf(false, false, {{1, 0, "a", 1}}).substr(0, 60),
       image_format::elf, "the program headers lie outside"},
      // Raw binaries stay raw, also when they start like a record.
      {"raw: colon then text", ":hello world\n", image_format::raw, "a raw binary"},
      {"raw: S and a digit, odd digits", "S1050010AABB8\n", image_format::raw, "a raw binary"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    firmware_image image;
    std::string error;
    EXPECT_EQ(recognise_format(c.file), c.format);
    const bool ok = read_firmware_image(c.file, &image, &error);
    if (ok) {
      EXPECT_EQ(describe(image.segments), c.result);
    } else {
      EXPECT_EQ(error.compare(0, std::string(c.result).size(), c.result), 0) << error;
    }
  }
}

std::vector<image_segment> segments(std::initializer_list<std::pair<uint32_t, size_t>> list) {
  std::vector<image_segment> out;
  char fill = 'a';
  for (const auto &p : list) out.push_back(image_segment{p.first, std::string(p.second, fill++)});
  return out;
}

TEST(DownloadPlan, RunsBySectorAndAddressMap) {
  struct Case {
    const char *name;
    int mcu_type;
    std::vector<image_segment> input;
    const char *runs;  // target address size filled, one per run; or the error's start
  };
  const Case cases[] = {
      {"gap inside one sector is filled", 1, segments({{0x0, 0x10}, {0x800, 0x10}}),
       "flash 0 2064 2032 "},
      {"gap into the next sector splits; the run starts on its sector", 1,
       segments({{0x0, 0x10}, {0x1010, 0x10}}), "flash 0 16 0 flash 1000 32 16 "},
      {"order in the file does not matter", 1, segments({{0x1000, 4}, {0x0, 4}}),
       "flash 0 4 0 flash 1000 4 0 "},
      {"touching segments join across a sector end", 1, segments({{0xff0, 0x10}, {0x1000, 0x10}}),
       "flash 0 4112 4080 "},
      {"SRAM goes last, in one run whatever its gaps", 1,
       segments({{0x9000, 4}, {0x100, 4}, {0x8000, 4}}), "flash 0 260 256 sram 8000 4100 4092 "},
      {"the 3/4 family's SRAM is at 0x40000", 3, segments({{0x3fffc, 4}, {0x40000, 4}}),
       "flash 3f000 4096 4092 sram 40000 4 0 "},
      {"overlap", 1, segments({{0x100, 0x20}, {0x110, 4}}), "two parts of the file load 0x000110-0x000113"},
      {"crosses from flash into SRAM", 1, segments({{0x7ffe, 4}}), "0x007ffe-0x008001 lies outside"},
      {"beyond SRAM", 2, segments({{0x18000, 1}}), "0x018000-0x018000 lies outside flash 0x000000-0x007fff and SRAM 0x008000-0x017fff"},
      {"no bytes", 1, segments({{0x100, 0}}), "the file holds no bytes"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    download_plan plan;
    std::string error;
    std::string got;
    if (plan_downloads(c.input, c.mcu_type, &plan, &error)) {
      for (const planned_run &r : plan.runs) {
        char text[80];
        std::snprintf(text, sizeof text, "%s %x %zu %llu ", target_name(r.target), r.address,
                      r.bytes.size(), static_cast<unsigned long long>(r.filled));
        got += text;
        // The file's bytes land at their addresses; filling is 0xff.
        for (const image_segment &s : c.input) {
          if (s.address < r.address || s.address >= r.address + r.bytes.size()) continue;
          EXPECT_EQ(r.bytes.substr(s.address - r.address, s.bytes.size()), s.bytes);
        }
      }
    } else {
      got = error.substr(0, std::string(c.runs).size());
    }
    EXPECT_EQ(got, c.runs);
  }
}

}  // namespace
