// SPDX-License-Identifier: Apache-2.0
#include "sim/usb_descriptors.h"

#include <cstring>

namespace zk32sim {

namespace {

constexpr uint8_t kGetDescriptor = 6;
constexpr uint8_t kDeviceDescriptor = 1;
constexpr uint8_t kStringDescriptor = 3;
constexpr uint8_t kSerialIndex = 3;

}  // namespace

bool is_standard_device_request(const SetupPacket &setup) { return setup.request_type == 0x80; }

int standard_device_request(const SetupPacket &setup, const DeviceIdentity &device,
                            uint8_t *out) {
  const std::string &serial = device.serial;
  if (setup.request != kGetDescriptor) return -1;
  uint8_t type = uint8_t(setup.value >> 8);
  uint8_t index = uint8_t(setup.value & 0xff);
  uint8_t d[255];
  size_t n = 0;
  if (type == kDeviceDescriptor && index == 0) {
    // USB 2.0, class per interface, 64-byte EP0, the simulator's ids, one configuration.
    const uint8_t descriptor[18] = {18, kDeviceDescriptor, 0x00, 0x02, 0, 0, 0, 64,
                                    uint8_t(device.vendor & 0xff), uint8_t(device.vendor >> 8),
                                    uint8_t(device.product & 0xff), uint8_t(device.product >> 8),
                                    0x00, 0x01, 0, 0,
                                    uint8_t(serial.empty() ? 0 : kSerialIndex), 1};
    memcpy(d, descriptor, sizeof descriptor);
    n = sizeof descriptor;
  } else if (type == kStringDescriptor && index == 0) {
    const uint8_t languages[4] = {4, kStringDescriptor, 0x09, 0x04};  // English (US)
    memcpy(d, languages, sizeof languages);
    n = sizeof languages;
  } else if (type == kStringDescriptor && index == kSerialIndex && !serial.empty()) {
    // UTF-16LE; the serial was checked to be printable ASCII of at most 126 characters.
    n = 2;
    for (char c : serial) {
      if (n + 2 > sizeof d) break;
      d[n++] = uint8_t(c);
      d[n++] = 0;
    }
    d[0] = uint8_t(n);
    d[1] = kStringDescriptor;
  } else {
    return -1;
  }
  if (n > setup.length) n = setup.length;
  memcpy(out, d, n);
  return int(n);
}

}  // namespace zk32sim
