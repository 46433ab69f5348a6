// SPDX-License-Identifier: Apache-2.0
// How the device reads a vendor control transfer.
//
// The host's printer-class driver turns each request buffer into one control transfer on the
// printer interface:
//   vendor write: bmRequestType 0x41, bRequest = buffer[0], wValue = buffer[1] << 8 |
//                 buffer[2], data stage = the whole buffer (8-byte header, then the data);
//   vendor read:  bmRequestType 0xC1, same bRequest and wValue, wLength = the output size;
//                 the device answers wLength - 8 bytes.
// Short layout: bRequest 0x02, or 0x03 with the fixed-address flag; address = wValue.
// Long layout: bRequest = 0x80 | 0x40 (fixed) | address bits 21..16, and wValue =
// (bits 7..0) << 8 | bits 15..8.
#ifndef ZK32SIM_VENDOR_REQUEST_H
#define ZK32SIM_VENDOR_REQUEST_H

#include <cstddef>
#include <cstdint>

#include "sim/device_model.h"

namespace zk32sim {

constexpr size_t kRequestHeaderSize = 8;

struct VendorRequest {
  bool is_write = false;
  bool long_layout = false;
  bool fixed = false;
  uint32_t address = 0;
  const uint8_t *data = nullptr;  // write: the data bytes after the header
  size_t count = 0;               // write: data bytes; read: bytes asked for
};

// False for anything a ZK32 device does not understand (it stalls those).
bool decode_vendor_request(const SetupPacket &setup, const uint8_t *out_data, size_t out_len,
                           VendorRequest *request);

}  // namespace zk32sim

#endif
