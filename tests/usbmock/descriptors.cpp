// SPDX-License-Identifier: Apache-2.0
// The standard descriptors of the emulated device: what a ZK32 chip or EVK probe shows the
// host.  One configuration with one printer-class interface, as the Windows printer driver
// expects, with a bulk OUT endpoint (unused by the tool) and the bulk IN endpoint that
// carries the chip's UART output.
#include <string>

#include "mock_usb_slot.h"

namespace usbmock {

namespace {

void put16(std::vector<uint8_t> &out, uint16_t v) {
  out.push_back(static_cast<uint8_t>(v & 0xff));
  out.push_back(static_cast<uint8_t>(v >> 8));
}

}  // namespace

std::vector<uint8_t> build_descriptors(const DeviceLook &look) {
  std::vector<uint8_t> d;
  // Device: USB 2.0, class per interface, EP0 64 bytes, strings 1..3, one configuration.
  d.insert(d.end(), {18, 1});
  put16(d, 0x0200);
  d.insert(d.end(), {0, 0, 0, 64});
  put16(d, look.vendor);
  put16(d, look.product);
  put16(d, 0x0100);
  d.insert(d.end(), {1, 2, 3, 1});
  // Configuration 1: one interface, bus powered, 100 mA.
  d.insert(d.end(), {9, 2});
  put16(d, 9 + 9 + 7 + 7);
  d.insert(d.end(), {1, 1, 0, 0x80, 50});
  // Interface 0, alternate 0: two endpoints, class 7 subclass 1 protocol 2 (bidirectional).
  d.insert(d.end(), {9, 4, 0, 0, 2, look.interface_class, 1, 2, 0});
  // Bulk OUT 0x02 and bulk IN 0x81, 512 bytes (high speed).
  d.insert(d.end(), {7, 5, 0x02, 2});
  put16(d, 512);
  d.push_back(0);
  d.insert(d.end(), {7, 5, 0x81, 2});
  put16(d, 512);
  d.push_back(0);
  return d;
}

std::vector<uint8_t> string_descriptor(uint8_t index) {
  static const char *const texts[] = {nullptr, "ZK32", "ZK32 USB", "0001"};
  if (index == 0) return {4, 3, 0x09, 0x04};  // English (United States)
  if (index >= sizeof texts / sizeof texts[0]) return {};
  std::string text = texts[index];
  std::vector<uint8_t> d = {static_cast<uint8_t>(2 + 2 * text.size()), 3};
  for (char c : text) d.insert(d.end(), {static_cast<uint8_t>(c), 0});
  return d;
}

}  // namespace usbmock
