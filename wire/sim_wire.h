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
