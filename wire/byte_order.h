// SPDX-License-Identifier: Apache-2.0
// Little-endian words in byte buffers: the order of every multi-byte value on the wire, in the
// target's registers and in the probe's mailbox.  Header-only; the program uses it too.
#ifndef ORVANE_WIRE_BYTE_ORDER_H
#define ORVANE_WIRE_BYTE_ORDER_H

#include <cstdint>

inline uint32_t load_le32(const unsigned char *at) {
  return static_cast<uint32_t>(at[0]) | static_cast<uint32_t>(at[1]) << 8 |
         static_cast<uint32_t>(at[2]) << 16 | static_cast<uint32_t>(at[3]) << 24;
}

inline void store_le32(unsigned char *at, uint32_t word) {
  at[0] = static_cast<unsigned char>(word);
  at[1] = static_cast<unsigned char>(word >> 8);
  at[2] = static_cast<unsigned char>(word >> 16);
  at[3] = static_cast<unsigned char>(word >> 24);
}

inline uint32_t load_le16(const unsigned char *at) {
  return static_cast<uint32_t>(at[0]) | static_cast<uint32_t>(at[1]) << 8;
}

inline void store_le16(unsigned char *at, uint32_t word) {
  at[0] = static_cast<unsigned char>(word);
  at[1] = static_cast<unsigned char>(word >> 8);
}

inline uint64_t load_le64(const unsigned char *at) {
  return load_le32(at) | static_cast<uint64_t>(load_le32(at + 4)) << 32;
}

inline void store_le64(unsigned char *at, uint64_t word) {
  store_le32(at, static_cast<uint32_t>(word));
  store_le32(at + 4, static_cast<uint32_t>(word >> 32));
}

#endif
