// SPDX-License-Identifier: Apache-2.0
// Bytes as lower-case hexadecimal text and back ("0a0b" <-> {0x0a, 0x0b}): how the tests write
// expected transfers and talk to the simulator's control commands.  The one hex encoder of
// the tests and the benchmarks.
#ifndef ORVANE_SUPPORT_HEX_TEXT_H
#define ORVANE_SUPPORT_HEX_TEXT_H

#include <string>
#include <vector>

namespace hex_text {

inline std::string to_hex(const std::vector<unsigned char> &bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  out.reserve(bytes.size() * 2);
  for (unsigned char b : bytes) {
    out += digits[b >> 4];
    out += digits[b & 15];
  }
  return out;
}

// Pairs of digits; a trailing odd digit is ignored.
inline std::vector<unsigned char> from_hex(const std::string &hex) {
  std::vector<unsigned char> out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) {
    out.push_back(static_cast<unsigned char>(std::stoul(hex.substr(i, 2), nullptr, 16)));
  }
  return out;
}

}  // namespace hex_text

#endif
