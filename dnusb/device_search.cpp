// SPDX-License-Identifier: Apache-2.0
// Device discovery: GetPrintDeviceHandle / GetPrintDeviceHandle2 and the EVK probe test.
//
// The search walks the printer-class device interfaces of every port in turn (real
// hardware, then simulated devices), in the steps of the SetupAPI walk it was designed on:
// interface, device path, driver key, vendor match, open, identity probe.
//
// Choices made here:
//  - a device path longer than the 2047 characters of the path buffer is skipped, never cut
//    short and matched;
//  - a device opened and then rejected by the identity probe is closed at once: the search
//    neither returns nor reuses it, and it would otherwise hold the device open;
//  - with DNUSB_DEVICE set (device_selector.h), a device that does not answer to it is passed
//    over before it is opened, so that several processes each program a board of their own.
#include <stddef.h>
#include <string.h>

#include <mutex>

#include "wire/byte_order.h"
#include "device_selector.h"
#include "dnusb.h"
#include "port.h"
#include "transfer.h"

namespace {

// Searched as a substring of the device path, case significant.
const char kVendorMatch[] = "vid_3a7e&pid_";
constexpr size_t kPathBuffer = 2048;
constexpr size_t kPropertyBuffer = 2048;
constexpr int kIdentityAddress = 0x7e;
constexpr int kProbeIdAddress = 0x7c;
constexpr uint32_t kAnyDevice = 0xFFFF;
constexpr uint32_t kEvkProbeId = 0x0818;

enum walk_outcome { kWalkAccepted, kWalkExhausted, kWalkEnded };

// Steps 2 to 9 on one port.  On acceptance *found holds the handle.  selector: the value of
// DNUSB_DEVICE, or NULL.
walk_outcome walk_port(const dn_port *port, dn_layout layout, uint32_t wanted,
                       const char *selector, dn_handle_t *found) {
  for (uint32_t index = 0;; ++index) {
    // 2. The next interface; none left ends this port's walk.
    if (!port->interface_at(index)) return kWalkExhausted;

    // 3. to 5. Its device path.  A failed detail query ends the whole search.
    char path[kPathBuffer];
    size_t length = 0;
    path[0] = '\0';
    if (!port->device_path(index, path, sizeof path, &length)) return kWalkEnded;

    // 6. The driver key; a failed read ends the whole search.  Its content is not used.
    char key[kPropertyBuffer];
    key[0] = '\0';
    if (!port->driver_key(index, key, sizeof key)) return kWalkEnded;

    // 7. Only the maker's devices are opened.
    if (length >= kPathBuffer) continue;
    if (strstr(path, kVendorMatch) == nullptr) continue;
    // With DNUSB_DEVICE set, every other device is passed over unopened: another process may
    // be programming it.
    if (selector != nullptr && !dn_selector_matches(port, index, path, selector)) continue;
    dn_handle_t handle = dn_handle_open(port, path, nullptr, 0);
    if (handle == 0) continue;

    // 8. Identity probe: device bytes 0x7e..0x81 into a word preset to 0; bytes that do not
    // arrive stay 0, and the read's result is not tested.
    unsigned char identity[4] = {0, 0, 0, 0};
    dn_retrying_read(handle, layout, kIdentityAddress, identity, 4, 0, 3072);

    // 9. Accept on a matching identity or when any device will do.  The identity bytes are
    // the upper half of the probe id word: an EVK probe's handle says so.
    if (wanted == kAnyDevice || load_le32(identity) == wanted) {
      const bool probe = (load_le32(identity) & 0xFFFF) == kEvkProbeId;
      *found = handle | (probe ? DN_HANDLE_PROBE : 0u);
      return kWalkAccepted;
    }
    dn_handle_close(handle);
  }
}

// A port holds the snapshot of one walk at a time, so searches from several threads take
// turns.  (Transfers on handles are not serialised.)
std::mutex search_lock;

dn_handle_t search(dn_layout layout, uint32_t wanted_id) {
  uint32_t wanted = wanted_id & 0xFFFF;  // only the low 16 bits take part
  std::lock_guard<std::mutex> guard(search_lock);
  const char *selector = dn_selector();
  size_t port_count = 0;
  const dn_port *const *ports = dn_ports(&port_count);
  for (size_t p = 0; p < port_count; ++p) {
    const dn_port *port = ports[p];
    // 1. The port's device set; a port that cannot give one ends the search.
    if (!port->begin_walk()) return 0;
    dn_handle_t found = 0;
    walk_outcome outcome = walk_port(port, layout, wanted, selector, &found);
    // 10. The set is released on every path.
    port->end_walk();
    if (outcome == kWalkAccepted) return found;
    if (outcome == kWalkEnded) return 0;
  }
  return 0;
}

int probe_test(dn_handle_t handle, dn_layout layout) {
  unsigned char id[4] = {0, 0, 0, 0};
  if (dn_plain_read(handle, layout, kProbeIdAddress, id, 4, 0, 1024) != 4) return 0;
  return (load_le32(id) >> 16) == kEvkProbeId ? 4 : 0;
}

}  // namespace

extern "C" {

dn_handle_t DNUSB_CALL GetPrintDeviceHandle(uint32_t wanted_id) {
  return search(kShortLayout, wanted_id);
}

dn_handle_t DNUSB_CALL GetPrintDeviceHandle2(uint32_t wanted_id) {
  return search(kLongLayout, wanted_id);
}

int DNUSB_CALL IsEVKDevice(dn_handle_t handle) { return probe_test(handle, kShortLayout); }

int DNUSB_CALL IsEVKDevice2(dn_handle_t handle) { return probe_test(handle, kLongLayout); }

}  // extern "C"
