// SPDX-License-Identifier: Apache-2.0
// The conversation between dnusb's simulated-device port and the device simulator.
//
// A simulator listens on a Unix-domain stream socket named "<name>.sock" in a rendezvous
// directory (the port looks in $ZK32_SIM_DIR, else $XDG_RUNTIME_DIR/zk32-sim, else
// /tmp/zk32-sim-<uid>).  Each message, in both directions, is a 5-byte frame header
// (kind byte, payload length as 32-bit little-endian) followed by the payload.
//
// Requests (port -> simulator) and their replies (simulator -> port):
//   kControl   payload = 8-byte USB setup packet (bmRequestType, bRequest, wValue LE,
//              wIndex LE, wLength LE), followed for an OUT transfer (bmRequestType bit 7
//              clear) by the wLength bytes of the data stage.
//              reply kind kOk, payload = the IN data actually delivered (empty for OUT),
//              or kind kStall, empty payload, for a failed transfer.
//   kBulkIn    payload = maximum length (32-bit LE).  reply kOk with the bytes (possibly
//              none), or kStall.
//   kText      payload = one command line of the simulator's control language (for tests
//              and the zk32-sim command).  reply kOk or kError with a text payload.
// A simulator that has "vanished" closes the connection; the port treats that as a
// failed transfer.
#ifndef ORVANE_WIRE_SIM_WIRE_H
#define ORVANE_WIRE_SIM_WIRE_H

#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>

#include <string>

#if !defined(_WIN32)
#include <unistd.h>
#endif

namespace simwire {

enum Kind : uint8_t {
  kControl = 'S',
  kBulkIn = 'B',
  kText = 'T',
  kOk = 'o',
  kStall = 's',
  kError = 'e',
};

constexpr uint32_t kMaxPayload = 16u * 1024u * 1024u;
constexpr size_t kFrameHeaderSize = 5;

// The frame header: the kind byte, then the payload length as 32-bit little-endian.
inline void put_frame_header(unsigned char *header, uint8_t kind, uint32_t payload_length) {
  header[0] = kind;
  for (int i = 0; i < 4; ++i) header[1 + i] = static_cast<unsigned char>(payload_length >> (8 * i));
}

// Reads a frame header; false (nothing to believe) when the length is over kMaxPayload.
inline bool get_frame_header(const unsigned char *header, uint8_t *kind,
                             uint32_t *payload_length) {
  uint32_t length = 0;
  for (int i = 0; i < 4; ++i) length |= static_cast<uint32_t>(header[1 + i]) << (8 * i);
  if (length > kMaxPayload) return false;
  *kind = header[0];
  *payload_length = length;
  return true;
}
constexpr uint16_t kVendorId = 0x3a7e;
constexpr uint16_t kSimProductId = 0x5a32;

#if !defined(_WIN32)
// The rendezvous directory: $ZK32_SIM_DIR, else $XDG_RUNTIME_DIR/zk32-sim, else
// /tmp/zk32-sim-<uid>.  The port searches it; zk32-sim starts there when given no --dir.
inline std::string rendezvous_directory() {
  const char *dir = getenv("ZK32_SIM_DIR");
  if (dir != nullptr && dir[0] != '\0') return dir;
  const char *runtime = getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && runtime[0] != '\0') return std::string(runtime) + "/zk32-sim";
  return "/tmp/zk32-sim-" + std::to_string(static_cast<unsigned long>(getuid()));
}
#endif

}  // namespace simwire

#endif
