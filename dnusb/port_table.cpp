// SPDX-License-Identifier: Apache-2.0
// The port layer: which ports a search walks, and the table from a 32-bit handle value to
// (port, open device).  On every platform the caller gets a small non-zero number that
// indexes this table: a pointer, or a 64-bit Windows HANDLE, does not fit a 32-bit value, and
// one table lets the simulator port serve beside the platform's own.  A simulated device's
// handle also carries DN_HANDLE_SIMULATED, so a tool can keep simulator-only data (the
// simulator's flash-writer images) away from real chips without asking the library.
#include "port.h"

#include <stdlib.h>

#include <mutex>

#include "usb_trace.h"

#if defined(_WIN32)
extern const dn_port dn_port_windows;
#else
extern const dn_port dn_port_libusb;
#endif
extern const dn_port dn_port_sim;

namespace {

// Real hardware first, simulated devices after it.
const dn_port *const registered_ports[] = {
#if defined(_WIN32)
    &dn_port_windows,
#else
    &dn_port_libusb,
#endif
    &dn_port_sim,
};

struct handle_entry {
  const dn_port *port;
  void *device;
  bool simulated;
};

// Handles are never closed by the program, so the table only needs to hold what one
// process opens; rejected devices free their entry at once.
constexpr uint32_t kMaxHandles = 1024;
handle_entry handle_table[kMaxHandles];
// Where the next free entry is looked for: entries are reused only after the cursor has
// gone round, so a stale handle rarely names a newer device.
uint32_t next_slot = 0;
std::mutex table_lock;

const dn_port *const *override_ports = nullptr;
size_t override_count = 0;

// The table slot a handle names, or kMaxHandles for a value no handle ever had.
uint32_t slot_of(dn_handle_t handle) {
  uint32_t index = handle & ~(DN_HANDLE_SIMULATED | DN_HANDLE_PROBE);
  if (index == 0 || index > kMaxHandles) return kMaxHandles;
  return index - 1;
}

// The flag must match too: a real device is never reached through a "simulated" handle.
bool names(const handle_entry &entry, dn_handle_t handle) {
  return entry.port != nullptr && entry.simulated == ((handle & DN_HANDLE_SIMULATED) != 0);
}

bool lookup(dn_handle_t handle, handle_entry *entry) {
  uint32_t slot = slot_of(handle);
  if (slot == kMaxHandles) return false;
  std::lock_guard<std::mutex> guard(table_lock);
  *entry = handle_table[slot];
  return names(*entry, handle);
}

// The simulator port's devices are simulated.  DNUSB_SIMULATED_USB=1 says the same of every
// other port's devices, for an emulated USB bus that carries the simulator's device model.
bool is_simulated(const dn_port *port) {
  if (port == &dn_port_sim) return true;
  const char *emulated = getenv("DNUSB_SIMULATED_USB");
  return emulated != nullptr && emulated[0] == '1' && emulated[1] == '\0';
}

}  // namespace

const dn_port *const *dn_ports(size_t *count) {
  std::lock_guard<std::mutex> guard(table_lock);
  if (override_ports != nullptr) {
    *count = override_count;
    return override_ports;
  }
  *count = sizeof registered_ports / sizeof registered_ports[0];
  return registered_ports;
}

void dn_ports_override(const dn_port *const *ports, size_t count) {
  std::lock_guard<std::mutex> guard(table_lock);
  if (override_ports != nullptr) {
    // Tests install a fresh fake per case: leave no handle pointing into the old one.
    for (handle_entry &entry : handle_table) {
      for (size_t i = 0; i < override_count; ++i) {
        if (entry.port == override_ports[i]) {
          entry.port->close(entry.device);
          entry = handle_entry{nullptr, nullptr, false};
          break;
        }
      }
    }
  }
  override_ports = ports;
  override_count = ports != nullptr ? count : 0;
}

dn_handle_t dn_handle_open(const dn_port *port, const char *path, char *why, size_t why_size) {
  void *device = port->open(path, why, why_size);
  if (device == nullptr) return 0;
  std::lock_guard<std::mutex> guard(table_lock);
  for (uint32_t step = 0; step < kMaxHandles; ++step) {
    uint32_t slot = (next_slot + step) % kMaxHandles;
    if (handle_table[slot].port == nullptr) {
      bool simulated = is_simulated(port);
      handle_table[slot] = handle_entry{port, device, simulated};
      next_slot = (slot + 1) % kMaxHandles;
      return (slot + 1) | (simulated ? DN_HANDLE_SIMULATED : 0u);
    }
  }
  port->close(device);
  if (why != nullptr && why_size > 0) {
    why[0] = '\0';
  }
  return 0;
}

void dn_handle_close(dn_handle_t handle) {
  uint32_t slot = slot_of(handle);
  if (slot == kMaxHandles) return;
  handle_entry entry;
  {
    std::lock_guard<std::mutex> guard(table_lock);
    entry = handle_table[slot];
    if (!names(entry, handle)) return;
    handle_table[slot] = handle_entry{nullptr, nullptr, false};
  }
  entry.port->close(entry.device);
}

bool dn_vendor_set(dn_handle_t handle, const unsigned char *input, uint32_t len) {
  handle_entry entry;
  if (!lookup(handle, &entry)) return false;
  dn_trace_stamp start = dn_trace_start();
  bool ok = entry.port->vendor_set(entry.device, input, len);
  dn_trace_vendor_set(handle, start, input, len, ok);
  return ok;
}

bool dn_vendor_get(dn_handle_t handle, const unsigned char *input, uint32_t len,
                   unsigned char *out, uint32_t out_size, uint32_t *got) {
  *got = 0;
  handle_entry entry;
  if (!lookup(handle, &entry)) return false;
  dn_trace_stamp start = dn_trace_start();
  bool ok = entry.port->vendor_get(entry.device, input, len, out, out_size, got);
  if (!ok) *got = 0;
  if (*got > out_size) *got = out_size;  // a port never reports more than it may store
  dn_trace_vendor_get(handle, start, input, len, out_size, out, *got, ok);
  return ok;
}

int dn_read_stream(dn_handle_t handle, unsigned char *buf, uint32_t size) {
  handle_entry entry;
  if (!lookup(handle, &entry)) return -1;
  dn_trace_stamp start = dn_trace_start();
  int got = entry.port->read_stream(entry.device, buf, size);
  dn_trace_read_stream(handle, start, size, buf, got);
  return got;
}
