// SPDX-License-Identifier: Apache-2.0
// A record reads ":LLAAAATT<data>CC": LL data bytes, a 16-bit offset AAAA, the type TT and a
// checksum that makes the sum of all its bytes 0 modulo 256.  In segment mode (after a 02
// record) the offset wraps within its 64 KB segment; in linear mode (after a 04 record) it
// does not.  The end-of-file record is required: a file without one was probably cut short.
#include "tools/check/intel_hex.h"

#include <cstdio>

namespace {

enum record_type : uint8_t {
  kData = 0x00,
  kEndOfFile = 0x01,
  kExtendedSegment = 0x02,
  kStartSegment = 0x03,
  kExtendedLinear = 0x04,
  kStartLinear = 0x05,
};

std::string at_line(std::size_t number, const std::string &what) {
  return "line " + std::to_string(number) + ": " + what;
}

// The data length each type must have (-1: any).
int required_length(uint8_t type) {
  switch (type) {
    case kEndOfFile: return 0;
    case kExtendedSegment:
    case kExtendedLinear: return 2;
    case kStartSegment:
    case kStartLinear: return 4;
    default: return -1;
  }
}

}  // namespace

bool read_intel_hex(const std::string &file, std::vector<image_segment> *segments,
                    std::string *error) {
  segments->clear();
  uint32_t base = 0;
  bool segment_mode = false;
  bool ended = false;
  std::vector<uint8_t> record;
  for (const text_line &line : text_lines(file)) {
    if (ended) {
      *error = at_line(line.number, "a record after the end-of-file record");
      return false;
    }
    if (line.text[0] != ':' || !decode_hex_bytes(line.text, 1, &record)) {
      *error = at_line(line.number, "not an Intel HEX record");
      return false;
    }
    if (record.size() < 5 || record.size() != record[0] + 5u) {
      *error = at_line(line.number, "the record's length does not match its byte count");
      return false;
    }
    uint8_t sum = 0;
    for (uint8_t b : record) sum = static_cast<uint8_t>(sum + b);
    if (sum != 0) {
      char text[80];
      std::snprintf(text, sizeof text, "checksum 0x%02x, expected 0x%02x", record.back(),
                    static_cast<uint8_t>(record.back() - sum));
      *error = at_line(line.number, text);
      return false;
    }
    const std::size_t length = record[0];
    const uint32_t offset = static_cast<uint32_t>(record[1] << 8 | record[2]);
    const uint8_t type = record[3];
    const uint8_t *data = record.data() + 4;
    const int required = required_length(type);
    if (type > kStartLinear) {
      *error = at_line(line.number, "unknown record type " + std::to_string(type));
      return false;
    }
    if (required >= 0 && length != static_cast<std::size_t>(required)) {
      *error = at_line(line.number, "record type 0" + std::to_string(type) + " must hold " +
                                        std::to_string(required) + " data bytes");
      return false;
    }
    const uint32_t value = static_cast<uint32_t>(data[0] << 8 | (length > 1 ? data[1] : 0));
    switch (type) {
      case kData: {
        bool fits = true;
        if (segment_mode && offset + length > 0x10000) {
          // The part past the segment's end wraps to its start.
          const std::size_t first = 0x10000 - offset;
          fits = append_segment_bytes(segments, uint64_t{base} + offset, data, first) &&
                 append_segment_bytes(segments, base, data + first, length - first);
        } else {
          fits = append_segment_bytes(segments, uint64_t{base} + offset, data, length);
        }
        if (!fits) {
          *error = at_line(line.number, "data past the end of the 32-bit address space");
          return false;
        }
        break;
      }
      case kEndOfFile: ended = true; break;
      case kExtendedSegment: base = value << 4; segment_mode = true; break;
      case kExtendedLinear: base = value << 16; segment_mode = false; break;
      default: break;  // a start address: nothing to load
    }
  }
  if (!ended) {
    *error = "no end-of-file record: the file may be cut short";
    return false;
  }
  return true;
}
