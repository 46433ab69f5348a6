// SPDX-License-Identifier: Apache-2.0
// The printer function a host's own USB stack meets when the simulator is attached to a real
// kernel: the configuration descriptor (one printer-class interface, bidirectional, with a
// bulk OUT and a bulk IN endpoint, as printer-class drivers expect), the printer class's own
// requests and the standard requests a host sends to a configured device.  Vendor requests
// go to the device model; device and string descriptors come from usb_descriptors.
#ifndef ZK32SIM_PRINTER_FUNCTION_H
#define ZK32SIM_PRINTER_FUNCTION_H

#include <cstdint>

#include "sim/usb_descriptors.h"

namespace zk32sim {

constexpr uint8_t kPrinterInterface = 0;
constexpr uint8_t kPrinterOutEndpoint = 0x01;  // print data: accepted and discarded
constexpr uint8_t kPrinterInEndpoint = 0x81;   // the data-in stream
constexpr uint16_t kBulkPacketSize = 512;      // high speed

// True for a request this file answers (everything but vendor requests and the device and
// string descriptors).
bool is_printer_function_request(const SetupPacket &setup);

// Answers such a request: returns the bytes placed in out (at most setup.length; out holds
// setup.length bytes and at least 255), 0 for an OUT request, or -1 to stall.
int printer_function_request(const SetupPacket &setup, const DeviceIdentity &device,
                             uint8_t *out);

}  // namespace zk32sim

#endif
