// SPDX-License-Identifier: Apache-2.0
#include "sim/vendor_request.h"

namespace zk32sim {

namespace {
constexpr uint8_t kShortPlain = 0x02;
constexpr uint8_t kShortFixed = 0x03;
constexpr uint8_t kLongBit = 0x80;
constexpr uint8_t kLongFixedBit = 0x40;
}  // namespace

bool decode_vendor_request(const SetupPacket &setup, const uint8_t *out_data, size_t out_len,
                           VendorRequest *request) {
  VendorRequest r;
  if (setup.request_type == kDnVendorOut) {
    r.is_write = true;
  } else if (setup.request_type != kDnVendorIn) {
    return false;
  }
  if (setup.request & kLongBit) {
    r.long_layout = true;
    r.fixed = (setup.request & kLongFixedBit) != 0;
    r.address = uint32_t(setup.request & 0x3f) << 16 | uint32_t(setup.value & 0xff) << 8 |
                uint32_t(setup.value >> 8);
  } else if (setup.request == kShortPlain || setup.request == kShortFixed) {
    r.fixed = setup.request == kShortFixed;
    r.address = setup.value;
  } else {
    return false;
  }
  if (r.is_write) {
    // The data stage carries the header again; a stage shorter than it is malformed.
    size_t stage = out_len < setup.length ? out_len : setup.length;
    if (stage < kRequestHeaderSize || out_data == nullptr) return false;
    r.data = out_data + kRequestHeaderSize;
    r.count = stage - kRequestHeaderSize;
  } else {
    r.count = setup.length > kRequestHeaderSize ? setup.length - kRequestHeaderSize : 0;
  }
  *request = r;
  return true;
}

}  // namespace zk32sim
