// SPDX-License-Identifier: Apache-2.0
// How a printer-class vendor request becomes a USB control transfer.
//
// The Windows printer-class driver turns IOCTL_USBPRINT_VENDOR_SET_COMMAND and
// ..._GET_COMMAND into control transfers on the printer interface; every port that speaks
// USB itself (libusb, the simulated-device port) does the same thing the same way, and the
// device simulator decodes with the same functions, so both ends agree byte for byte:
//
//   vendor write: bmRequestType 0x41 (vendor, interface, OUT), bRequest = input[0],
//                 wValue = input[1] << 8 | input[2],
//                 wIndex = interface number << 8 | alternate setting,
//                 data stage = the WHOLE input buffer (header included), wLength = its length.
//   vendor read:  bmRequestType 0xC1 (vendor, interface, IN), same bRequest, wValue and
//                 wIndex; wLength = the output size offered; the bytes received are the
//                 count the driver reports.
//
// Header-only so that the simulator can compile it in without linking the library.
#ifndef ORVANE_WIRE_CONTROL_TRANSFER_H
#define ORVANE_WIRE_CONTROL_TRANSFER_H

#include <stdint.h>

struct dn_setup_packet {
  uint8_t request_type;  // bmRequestType
  uint8_t request;       // bRequest
  uint16_t value;        // wValue
  uint16_t index;        // wIndex
  uint16_t length;       // wLength
};

constexpr uint8_t kDnVendorOut = 0x41;  // vendor, recipient interface, host to device
constexpr uint8_t kDnVendorIn = 0xC1;   // vendor, recipient interface, device to host
constexpr uint32_t kDnMaxControlLength = 0xFFFF;

// The setup packet of a vendor write request whose input (header and data) is len bytes.
// False when the input cannot go as one control transfer (shorter than the 3 header bytes
// the setup packet carries, or longer than wLength can say).
inline bool dn_vendor_write_setup(const unsigned char *input, uint32_t len,
                                  uint8_t interface_number, uint8_t alternate_setting,
                                  dn_setup_packet *setup) {
  if (input == nullptr || len < 3 || len > kDnMaxControlLength) return false;
  setup->request_type = kDnVendorOut;
  setup->request = input[0];
  setup->value = static_cast<uint16_t>(input[1] << 8 | input[2]);
  setup->index = static_cast<uint16_t>(interface_number << 8 | alternate_setting);
  setup->length = static_cast<uint16_t>(len);
  return true;
}

// The setup packet of a vendor read request with the given request header (len bytes)
// offering out_size bytes.  The header beyond byte 2 does not reach the device.
inline bool dn_vendor_read_setup(const unsigned char *input, uint32_t len, uint32_t out_size,
                                 uint8_t interface_number, uint8_t alternate_setting,
                                 dn_setup_packet *setup) {
  if (input == nullptr || len < 3 || out_size > kDnMaxControlLength) return false;
  setup->request_type = kDnVendorIn;
  setup->request = input[0];
  setup->value = static_cast<uint16_t>(input[1] << 8 | input[2]);
  setup->index = static_cast<uint16_t>(interface_number << 8 | alternate_setting);
  setup->length = static_cast<uint16_t>(out_size);
  return true;
}

// The 8 bytes of a setup packet on the wire (16-bit fields little-endian).
inline void dn_setup_encode(const dn_setup_packet &setup, unsigned char out[8]) {
  out[0] = setup.request_type;
  out[1] = setup.request;
  out[2] = static_cast<unsigned char>(setup.value & 0xFF);
  out[3] = static_cast<unsigned char>(setup.value >> 8);
  out[4] = static_cast<unsigned char>(setup.index & 0xFF);
  out[5] = static_cast<unsigned char>(setup.index >> 8);
  out[6] = static_cast<unsigned char>(setup.length & 0xFF);
  out[7] = static_cast<unsigned char>(setup.length >> 8);
}

inline dn_setup_packet dn_setup_decode(const unsigned char in[8]) {
  dn_setup_packet setup;
  setup.request_type = in[0];
  setup.request = in[1];
  setup.value = static_cast<uint16_t>(in[2] | in[3] << 8);
  setup.index = static_cast<uint16_t>(in[4] | in[5] << 8);
  setup.length = static_cast<uint16_t>(in[6] | in[7] << 8);
  return setup;
}

// True for a device-to-host transfer (bit 7 of bmRequestType).
inline bool dn_setup_is_in(const dn_setup_packet &setup) {
  return (setup.request_type & 0x80) != 0;
}

#endif
