// SPDX-License-Identifier: Apache-2.0
// The port interface: everything dnusb needs from the platform, and nothing more.
//
// A port mirrors the Windows USB printer-class stack the library was designed against:
// the device-interface walk of SetupAPI (index walk, device path, driver key), CreateFileA,
// and the driver's two vendor requests plus ReadFile on the data-in stream.  Each port lives
// in a file of its own (port_libusb.cpp, port_sim.cpp, port_windows.cpp) and exports one
// `dn_port` table.  Everything above this header (request layouts, retrying read, mailbox,
// byte primitives) is platform-free and talks to devices only through the handle functions
// at the end of this header.
//
// A port is used from one search at a time: begin_walk() takes a fresh snapshot of the
// port's devices, the index functions read from that snapshot, end_walk() releases it.
#ifndef DNUSB_PORT_H
#define DNUSB_PORT_H

#include <stddef.h>
#include <stdint.h>

#include "dnusb.h"

// The names a device answers to besides its path (device_selector.h): where it is attached,
// and the serial number it reports.  "" where a port cannot tell.
struct dn_device_names {
  char location[256];
  char serial[256];
};

struct dn_port {
  // Short name for diagnostics ("libusb", "sim", "windows", "fake").
  const char *name;

  // Start of a device search (SetupDiGetClassDevsA).  Takes a snapshot of the port's
  // printer-class device interfaces.  Returns false only when the port cannot list at all
  // in a way that must end the whole search with 0 (Windows: INVALID_HANDLE_VALUE).  A port
  // that simply has no devices (no USB subsystem, no simulator) returns true with an empty
  // snapshot.
  bool (*begin_walk)(void);

  // SetupDiEnumDeviceInterfaces: true when an interface exists at this index of the
  // snapshot; false ends this port's walk (not the search).
  bool (*interface_at)(uint32_t index);

  // SetupDiGetDeviceInterfaceDetailA: copies the device path of the interface into
  // path (at most size - 1 characters and a NUL) and stores the path's full length in
  // *length, so the caller can refuse a path that did not fit.  Returns false when the
  // detail cannot be obtained; that ends the whole search.
  bool (*device_path)(uint32_t index, char *path, size_t size, size_t *length);

  // SetupDiGetDeviceRegistryPropertyA(SPDRP_DRIVER): copies the driver key name (NUL
  // terminated, truncated to size).  Returns false when it cannot be read; that ends the
  // whole search.
  bool (*driver_key)(uint32_t index, char *key, size_t size);

  // End of the search (SetupDiDestroyDeviceInfoList).  Called once after every begin_walk()
  // that returned true, whatever the outcome.
  void (*end_walk)(void);

  // CreateFileA on a device path from this port's walk.  Returns the port's own device
  // object, or NULL when the device cannot be opened; then, if why is not NULL, a short
  // reason ("permission denied", "device busy", ...) is copied there (size why_size).
  void *(*open)(const char *path, char *why, size_t why_size);

  // Releases a device object from open().  Never fails.
  void (*close)(void *device);

  // IOCTL_USBPRINT_VENDOR_SET_COMMAND: sends the request (header and data, len bytes) as a
  // vendor OUT control transfer.  Returns false when the transfer fails.
  bool (*vendor_set)(void *device, const unsigned char *input, uint32_t len);

  // IOCTL_USBPRINT_VENDOR_GET_COMMAND: sends the request header (input, len bytes) as a
  // vendor IN control transfer offering out_size bytes.  Stores the bytes received in out
  // (never more than out_size) and their count in *got.  Returns false when the transfer
  // fails (then *got is 0).
  bool (*vendor_get)(void *device, const unsigned char *input, uint32_t len,
                     unsigned char *out, uint32_t out_size, uint32_t *got);

  // ReadFile on the device: takes up to size bytes queued on the data-in stream.  Returns
  // the count (0 .. size), or -1 when the read fails.
  int (*read_stream)(void *device, unsigned char *buf, uint32_t size);

  // The names of the interface at this index of the current walk (path: its device path),
  // for DNUSB_DEVICE and dnusb-list.  names arrives with both fields "".  The serial, which
  // may need the device opened for a descriptor read, is filled only when with_serial is
  // true.  Never fails: a name that cannot be had stays "".  NULL: a port whose devices
  // answer to their path alone.
  void (*names)(uint32_t index, const char *path, bool with_serial, dn_device_names *names);
};

// --- The port layer: registered ports and the handle table ------------------------------

// Ports in search order.  Normally the platform's real-hardware port, then the simulator
// port.  *count receives the number of ports.
const dn_port *const *dn_ports(size_t *count);

// Test hook: searches use these ports instead of the registered ones (the array must stay
// alive while installed).  dn_ports_override(NULL, 0) restores the registered ports and
// closes every handle still open on the overriding ports.
void dn_ports_override(const dn_port *const *ports, size_t count);

// Opens path on port and enters it in the handle table.  Returns the new handle (small,
// non-zero), or 0 when the port cannot open it or the table is full.
dn_handle_t dn_handle_open(const dn_port *port, const char *path, char *why, size_t why_size);

// Closes a handle from dn_handle_open and frees its table entry.  Unknown handles are
// ignored.
void dn_handle_close(dn_handle_t handle);

// The driver requests on a handle; an unknown handle fails like a closed device.
bool dn_vendor_set(dn_handle_t handle, const unsigned char *input, uint32_t len);
bool dn_vendor_get(dn_handle_t handle, const unsigned char *input, uint32_t len,
                   unsigned char *out, uint32_t out_size, uint32_t *got);
int dn_read_stream(dn_handle_t handle, unsigned char *buf, uint32_t size);

#endif
