// SPDX-License-Identifier: Apache-2.0
// Internal to the emulated bus: the state of one emulated device, shared between the test
// thread and umockdev's handler thread (every field below `lock` is guarded by it).
#ifndef ORVANE_TESTS_USBMOCK_MOCK_USB_SLOT_H
#define ORVANE_TESTS_USBMOCK_MOCK_USB_SLOT_H

#include <deque>
#include <mutex>
#include <vector>

#include <umockdev.h>

#include "mock_usb.h"

namespace usbmock {

struct MockUsb::Slot {
  std::unique_ptr<Backend> backend;
  DeviceLook look;
  std::vector<uint8_t> descriptors;  // device descriptor then the configuration
  UMockdevIoctlBase *handler = nullptr;

  mutable std::mutex lock;
  Faults faults;
  UMockdevIoctlClient *claim_owner = nullptr;  // the open file holding interface 0 (a ref)
  bool driver_bound = true;  // the kernel's printer driver holds the interface at first
  int opens = 0;
  std::vector<Transfer> transfers;
  std::vector<unsigned long> unknown;
  // URBs submitted and finished, waiting to be reaped (in order), and URBs the device
  // never answers (they finish only when the host discards them).  Each is reaped only by
  // the open file that submitted it.
  struct Urb {
    UMockdevIoctlClient *client;  // both held by a reference
    UMockdevIoctlData *data;
  };
  std::deque<Urb> done;
  std::vector<Urb> flying;
};

// The descriptors of a device with one printer-class interface (bulk OUT 0x02, bulk IN 0x81).
std::vector<uint8_t> build_descriptors(const DeviceLook &look);
// A string descriptor (index 0: the language list) in USB form, or empty when none.
std::vector<uint8_t> string_descriptor(uint8_t index);

// The URBs of usbfs (usbfs_urbs.cpp): each completes the client's ioctl.
void submit_urb(MockUsb::Slot &slot, UMockdevIoctlClient *client);
void reap_urb(MockUsb::Slot &slot, UMockdevIoctlClient *client);
void discard_urb(MockUsb::Slot &slot, UMockdevIoctlClient *client);
// Resolves the structure the ioctl argument points to; the caller unrefs.
UMockdevIoctlData *resolve_arg(UMockdevIoctlClient *client, size_t size);
// The kernel's check of a control request to an interface (wIndex): 0, or the errno.
int interface_access(MockUsb::Slot &slot, UMockdevIoctlClient *client, uint16_t index);
// Lets go of the interface claim (caller holds slot.lock).
void release_claim(MockUsb::Slot &slot);

// Connects the usbfs request handler of slot to handler's "handle-ioctl" signal.
void connect_usbfs_handler(UMockdevIoctlBase *handler, MockUsb::Slot *slot);
// Drops the claim of a client whose file is closed (caller holds slot.lock).
void release_if_closed(MockUsb::Slot &slot);
// Drops every URB still held, and the claim (at teardown).
void release_urbs(MockUsb::Slot *slot);

}  // namespace usbmock

#endif
