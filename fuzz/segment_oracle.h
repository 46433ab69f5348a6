// SPDX-License-Identifier: Apache-2.0
// What the firmware-file fuzz targets share: the segments a reader returned written back as
// a file of the same format, to be read again with the same result, and the bounds every
// segment must keep.
#ifndef ORVANE_FUZZ_SEGMENT_ORACLE_H
#define ORVANE_FUZZ_SEGMENT_ORACLE_H

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "tools/check/firmware_image.h"

inline void check_segment_bounds(const std::vector<image_segment> &segments) {
  for (const image_segment &s : segments) {
    FUZZ_CHECK(!s.bytes.empty());
    FUZZ_CHECK(uint64_t{s.address} + s.bytes.size() <= (uint64_t{1} << 32));
  }
}

inline bool same_segments(const std::vector<image_segment> &a, const std::vector<image_segment> &b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i].address != b[i].address || a[i].bytes != b[i].bytes) return false;
  }
  return true;
}

inline std::string hex_record(const char *lead, const std::vector<uint8_t> &body, uint8_t check) {
  std::string line = lead;
  char pair[3];
  for (uint8_t b : body) {
    std::snprintf(pair, sizeof pair, "%02X", b);
    line += pair;
  }
  std::snprintf(pair, sizeof pair, "%02X", check);
  return line + pair + "\n";
}

inline uint8_t byte_sum(const std::vector<uint8_t> &body) {
  uint8_t sum = 0;
  for (uint8_t b : body) sum = static_cast<uint8_t>(sum + b);
  return sum;
}

// Intel HEX with an extended linear address before every data record.
inline std::string write_intel_hex(const std::vector<image_segment> &segments) {
  std::string out;
  for (const image_segment &s : segments) {
    for (std::size_t i = 0; i < s.bytes.size();) {
      const uint32_t address = s.address + static_cast<uint32_t>(i);
      const std::size_t room = 0x10000 - (address & 0xffff);
      const std::size_t n = std::min<std::size_t>({16, s.bytes.size() - i, room});
      std::vector<uint8_t> upper = {2, 0, 0, 4, uint8_t(address >> 24), uint8_t(address >> 16)};
      out += hex_record(":", upper, uint8_t(-byte_sum(upper)));
      std::vector<uint8_t> data = {uint8_t(n), uint8_t(address >> 8), uint8_t(address), 0};
      data.insert(data.end(), s.bytes.begin() + i, s.bytes.begin() + i + n);
      out += hex_record(":", data, uint8_t(-byte_sum(data)));
      i += n;
    }
  }
  return out + ":00000001FF\n";
}

// S3 records, then S7.
inline std::string write_srec(const std::vector<image_segment> &segments) {
  std::string out;
  for (const image_segment &s : segments) {
    for (std::size_t i = 0; i < s.bytes.size(); i += 16) {
      const uint32_t address = s.address + static_cast<uint32_t>(i);
      const std::size_t n = std::min<std::size_t>(16, s.bytes.size() - i);
      std::vector<uint8_t> body = {uint8_t(n + 5), uint8_t(address >> 24), uint8_t(address >> 16),
                                   uint8_t(address >> 8), uint8_t(address)};
      body.insert(body.end(), s.bytes.begin() + i, s.bytes.begin() + i + n);
      out += hex_record("S3", body, uint8_t(~byte_sum(body)));
    }
  }
  return out + "S70500000000FA\n";
}

// The oracle of a text format's reader: what it accepts keeps its bounds, holds no more bytes
// than the text can carry (two digits a byte), and reads back the same when written out again;
// what it refuses comes with a reason.
template <typename Reader, typename Writer>
int check_text_reader(const uint8_t *data, size_t size, Reader read, Writer write) {
  const std::string file(reinterpret_cast<const char *>(data), size);
  std::vector<image_segment> segments;
  std::string error;
  if (!read(file, &segments, &error)) {
    FUZZ_CHECK(!error.empty());
    return 0;
  }
  check_segment_bounds(segments);
  std::size_t total = 0;
  for (const image_segment &s : segments) total += s.bytes.size();
  FUZZ_CHECK(total <= size / 2);
  std::vector<image_segment> again;
  FUZZ_CHECK(read(write(segments), &again, &error));
  FUZZ_CHECK(same_segments(segments, again));
  return 0;
}

#endif
