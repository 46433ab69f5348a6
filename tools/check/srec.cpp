// SPDX-License-Identifier: Apache-2.0
// A record reads "Stnn<address><data>cc": t the type, nn the count of the bytes that follow
// (address, data, checksum), and a checksum that is the ones' complement of the sum of the
// count, address and data bytes.  A count record (S5, S6) must agree with the data records
// before it, and the end record (S7, S8, S9) is required: without it the file may be cut short.
#include "tools/check/srec.h"

#include <cstdio>

namespace {

std::string at_line(std::size_t number, const std::string &what) {
  return "line " + std::to_string(number) + ": " + what;
}

// Address bytes of each type; 0 for S4, which is reserved.
const std::size_t kAddressBytes[10] = {2, 2, 3, 4, 0, 2, 3, 4, 3, 2};

}  // namespace

bool read_srec(const std::string &file, std::vector<image_segment> *segments, std::string *error) {
  segments->clear();
  uint64_t data_records = 0;
  bool ended = false;
  std::vector<uint8_t> record;
  for (const text_line &line : text_lines(file)) {
    if (ended) {
      *error = at_line(line.number, "a record after the end record");
      return false;
    }
    const std::string &text = line.text;
    if (text.size() < 2 || text[0] != 'S' || text[1] < '0' || text[1] > '9' ||
        !decode_hex_bytes(text, 2, &record)) {
      *error = at_line(line.number, "not an S-record");
      return false;
    }
    const int type = text[1] - '0';
    const std::size_t address_bytes = kAddressBytes[type];
    if (address_bytes == 0) {
      *error = at_line(line.number, "record type S4 is reserved");
      return false;
    }
    if (record.empty() || record.size() != record[0] + 1u || record[0] < address_bytes + 1) {
      *error = at_line(line.number, "the record's count does not match its length");
      return false;
    }
    uint8_t sum = 0;
    for (uint8_t b : record) sum = static_cast<uint8_t>(sum + b);
    if (sum != 0xff) {
      char message[80];
      std::snprintf(message, sizeof message, "checksum 0x%02x, expected 0x%02x", record.back(),
                    static_cast<uint8_t>(record.back() + (0xff - sum)));
      *error = at_line(line.number, message);
      return false;
    }
    uint32_t address = 0;
    for (std::size_t i = 1; i <= address_bytes; ++i) address = address << 8 | record[i];
    const uint8_t *data = record.data() + 1 + address_bytes;
    const std::size_t length = record.size() - 2 - address_bytes;
    if (type >= 1 && type <= 3) {
      ++data_records;
      if (!append_segment_bytes(segments, address, data, length)) {
        *error = at_line(line.number, "data past the end of the 32-bit address space");
        return false;
      }
    } else if (type == 5 || type == 6) {
      if (length != 0 || address != data_records) {
        *error = at_line(line.number, "the record count " + std::to_string(address) +
                                          " differs from the " + std::to_string(data_records) +
                                          " data records before it");
        return false;
      }
    } else if (type >= 7) {
      ended = true;
    }
  }
  if (!ended) {
    *error = "no end record (S7, S8 or S9): the file may be cut short";
    return false;
  }
  return true;
}
