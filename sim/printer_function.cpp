// SPDX-License-Identifier: Apache-2.0
#include "sim/printer_function.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace zk32sim {

namespace {

// bmRequestType: direction, type (standard 0, class 1) and recipient (device 0, interface
// 1, endpoint 2).
constexpr uint8_t kStandardDeviceIn = 0x80;
constexpr uint8_t kStandardInterfaceIn = 0x81;
constexpr uint8_t kStandardEndpointIn = 0x82;
constexpr uint8_t kStandardEndpointOut = 0x02;
constexpr uint8_t kClassInterfaceIn = 0xA1;
constexpr uint8_t kClassInterfaceOut = 0x21;
constexpr uint8_t kClassOtherOut = 0x23;  // SOFT_RESET as the first printer drivers sent it

constexpr uint8_t kGetStatus = 0, kClearFeature = 1, kSetFeature = 3, kGetDescriptor = 6;
constexpr uint8_t kConfigurationDescriptor = 2;
constexpr uint8_t kGetDeviceId = 0, kGetPortStatus = 1, kSoftReset = 2;

// Selected, no error, paper present.
constexpr uint8_t kPortStatusReady = 0x18;

int reply(const uint8_t *data, size_t n, const SetupPacket &setup, uint8_t *out) {
  n = std::min(n, size_t(setup.length));
  memcpy(out, data, n);
  return int(n);
}

int configuration_descriptor(const SetupPacket &setup, uint8_t *out) {
  const uint8_t lo = uint8_t(kBulkPacketSize & 0xff), hi = uint8_t(kBulkPacketSize >> 8);
  const uint8_t d[32] = {
      // configuration 1, bus powered, 100 mA
      9, 2, 32, 0, 1, 1, 0, 0x80, 50,
      // interface 0: printer class (7), printer subclass (1), bidirectional protocol (2)
      9, 4, kPrinterInterface, 0, 2, 7, 1, 2, 0,
      // bulk OUT, bulk IN
      7, 5, kPrinterOutEndpoint, 2, lo, hi, 0,
      7, 5, kPrinterInEndpoint, 2, lo, hi, 0};
  return reply(d, sizeof d, setup, out);
}

// The IEEE 1284 device id: a two-byte big-endian length (itself included), then the keys.
int device_id(const SetupPacket &setup, const DeviceIdentity &device, uint8_t *out) {
  std::string id = "MFG:ZK32;MDL:ZK32 simulated device;CMD:ZK32;CLS:PRINTER;";
  if (!device.serial.empty()) id += "SN:" + device.serial + ";";
  uint8_t d[256];
  size_t n = std::min(id.size() + 2, sizeof d);
  d[0] = uint8_t(n >> 8);
  d[1] = uint8_t(n & 0xff);
  memcpy(d + 2, id.data(), n - 2);
  return reply(d, n, setup, out);
}

bool ours(uint16_t index) { return (index >> 8) == kPrinterInterface || index == kPrinterInterface; }

}  // namespace

bool is_printer_function_request(const SetupPacket &s) {
  switch (s.request_type) {
    case kStandardDeviceIn:
      return s.request == kGetStatus ||
             (s.request == kGetDescriptor && (s.value >> 8) == kConfigurationDescriptor);
    case kStandardInterfaceIn:
    case kStandardEndpointIn:
    case kStandardEndpointOut:
    case kClassInterfaceIn:
    case kClassInterfaceOut:
    case kClassOtherOut:
      return true;
    default:
      return s.request_type == 0x00 || s.request_type == 0x01;  // device/interface features
  }
}

int printer_function_request(const SetupPacket &s, const DeviceIdentity &device,
                             uint8_t *out) {
  static const uint8_t kZeroStatus[2] = {0, 0};
  switch (s.request_type) {
    case kStandardDeviceIn:
      if (s.request == kGetStatus) return reply(kZeroStatus, 2, s, out);
      if (s.request == kGetDescriptor && (s.value & 0xff) == 0) {
        return configuration_descriptor(s, out);
      }
      return -1;
    case kStandardInterfaceIn:
    case kStandardEndpointIn:
      return s.request == kGetStatus ? reply(kZeroStatus, 2, s, out) : -1;
    case kStandardEndpointOut:
      // Clearing a halt on either bulk endpoint: nothing here ever halts them.
      return s.request == kClearFeature || s.request == kSetFeature ? 0 : -1;
    case kClassInterfaceIn:
      // GET_DEVICE_ID carries the interface in the high byte of wIndex; GET_PORT_STATUS in
      // the low byte.
      if (s.request == kGetDeviceId && ours(s.index)) return device_id(s, device, out);
      if (s.request == kGetPortStatus && ours(s.index)) {
        return reply(&kPortStatusReady, 1, s, out);
      }
      return -1;
    case kClassInterfaceOut:
    case kClassOtherOut:
      return s.request == kSoftReset ? 0 : -1;
    default:
      // SET_FEATURE / CLEAR_FEATURE to the device or interface (remote wake-up): accepted.
      return s.request == kClearFeature || s.request == kSetFeature ? 0 : -1;
  }
}

}  // namespace zk32sim
