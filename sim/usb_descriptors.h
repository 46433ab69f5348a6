// SPDX-License-Identifier: Apache-2.0
// The standard descriptors a simulated device gives the host: enough of GET_DESCRIPTOR for a
// host to read the device's serial number, as it would from a board on a real bus.
#ifndef ZK32SIM_USB_DESCRIPTORS_H
#define ZK32SIM_USB_DESCRIPTORS_H

#include <cstdint>
#include <string>

#include "sim/device_model.h"

namespace zk32sim {

// True for a standard request to the device (bmRequestType 0x80): those are the host's,
// answered here rather than by the chip.
bool is_standard_device_request(const SetupPacket &setup);

// What the descriptors tell about the device.
struct DeviceIdentity {
  uint16_t vendor, product;
  std::string serial;  // "": the device reports no serial number
};

// Answers a standard device request: GET_DESCRIPTOR of the device descriptor (iSerialNumber 3
// when there is a serial, else 0), the language list (string 0) and the serial (string 3).
// Returns the bytes placed in out (at most setup.length, out holds 255), or -1 to stall.
int standard_device_request(const SetupPacket &setup, const DeviceIdentity &device,
                            uint8_t *out);

}  // namespace zk32sim

#endif
