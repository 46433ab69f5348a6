// SPDX-License-Identifier: Apache-2.0
// The kernel side of usbfs for one emulated device: every ioctl libusb's Linux backend sends to
// /dev/bus/usb/BBB/DDD arrives here (on umockdev's handler thread) and is answered as the
// kernel would: capabilities, interface claims and the printer driver's detach and re-attach
// here, the URBs in usbfs_urbs.cpp.
#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "mock_usb_slot.h"

namespace usbmock {

namespace {

constexpr int kUsbSpeedHigh = 3;  // USB_SPEED_HIGH, the answer to GET_SPEED
constexpr size_t kDriverNameSize = USBDEVFS_MAXDRIVERNAME + 1;

}  // namespace

void release_claim(MockUsb::Slot &slot) {
  if (slot.claim_owner != nullptr) g_object_unref(slot.claim_owner);
  slot.claim_owner = nullptr;
}

// The kernel releases a file's interfaces when it is closed.  umockdev notices a closed file
// when its connection ends, so the claim of a file no longer connected is dropped here.
void release_if_closed(MockUsb::Slot &slot) {
  if (slot.claim_owner != nullptr && !umockdev_ioctl_client_get_connected(slot.claim_owner)) {
    release_claim(slot);
  }
}

namespace {

// CLAIMINTERFACE, and DISCONNECT_CLAIM (detach the kernel driver, then claim).  As in the
// kernel, an interface held by another open file (another usbfs client) is busy, and so is
// one still bound to the printer driver unless the request detaches it.
void claim(MockUsb::Slot &slot, UMockdevIoctlClient *client, bool detach) {
  release_if_closed(slot);
  uint32_t interface = 0;
  UMockdevIoctlData *d = resolve_arg(client, detach ? sizeof(usbdevfs_disconnect_claim)
                                                    : sizeof(uint32_t));
  if (d != nullptr) {
    std::memcpy(&interface, d->data, sizeof interface);
    g_object_unref(d);
  }
  if (interface != 0) {
    umockdev_ioctl_client_complete(client, -1, ENOENT);
  } else if (slot.claim_owner == client) {
    umockdev_ioctl_client_complete(client, 0, 0);
  } else if (slot.claim_owner != nullptr || (slot.driver_bound && !detach)) {
    umockdev_ioctl_client_complete(client, -1, EBUSY);
  } else {
    slot.driver_bound = false;
    slot.claim_owner = static_cast<UMockdevIoctlClient *>(g_object_ref(client));
    umockdev_ioctl_client_complete(client, 0, 0);
  }
}

}  // namespace

// The kernel's check of a control request whose recipient is an interface: the low byte of
// wIndex names the interface; one not claimed by this file is claimed for it when free.
int interface_access(MockUsb::Slot &slot, UMockdevIoctlClient *client, uint16_t index) {
  release_if_closed(slot);
  if ((index & 0xff) != 0) return ENOENT;
  if (slot.claim_owner == client) return 0;
  if (slot.claim_owner != nullptr || slot.driver_bound) return EBUSY;
  slot.claim_owner = static_cast<UMockdevIoctlClient *>(g_object_ref(client));
  return 0;
}

namespace {

void get_driver(MockUsb::Slot &slot, UMockdevIoctlClient *client) {
  UMockdevIoctlData *d = resolve_arg(client, sizeof(usbdevfs_getdriver));
  if (d == nullptr) {
    umockdev_ioctl_client_complete(client, -1, EFAULT);
    return;
  }
  auto *gd = reinterpret_cast<usbdevfs_getdriver *>(d->data);
  if (gd->interface != 0 || !slot.driver_bound) {
    umockdev_ioctl_client_complete(client, -1, ENODATA);
  } else {
    std::snprintf(gd->driver, kDriverNameSize, "usblp");
    umockdev_ioctl_client_complete(client, 0, 0);
  }
  g_object_unref(d);
}

// USBDEVFS_IOCTL: the driver requests DISCONNECT (detach the kernel driver) and CONNECT.
void driver_ioctl(MockUsb::Slot &slot, UMockdevIoctlClient *client) {
  UMockdevIoctlData *d = resolve_arg(client, sizeof(usbdevfs_ioctl));
  if (d == nullptr) {
    umockdev_ioctl_client_complete(client, -1, EFAULT);
    return;
  }
  auto *command = reinterpret_cast<usbdevfs_ioctl *>(d->data);
  unsigned long code = static_cast<unsigned long>(static_cast<unsigned int>(command->ioctl_code));
  if (command->ifno != 0) {
    umockdev_ioctl_client_complete(client, -1, EINVAL);
  } else if (code == USBDEVFS_DISCONNECT) {
    bool was = slot.driver_bound;
    slot.driver_bound = false;
    umockdev_ioctl_client_complete(client, was ? 0 : -1, was ? 0 : ENODATA);
  } else if (code == USBDEVFS_CONNECT) {
    release_if_closed(slot);
    slot.driver_bound = slot.claim_owner == nullptr;
    umockdev_ioctl_client_complete(client, 0, 0);
  } else {
    umockdev_ioctl_client_complete(client, -1, ENOTTY);
  }
  g_object_unref(d);
}

gboolean on_ioctl(UMockdevIoctlBase *, UMockdevIoctlClient *client, gpointer user_data) {
  auto &slot = *static_cast<MockUsb::Slot *>(user_data);
  unsigned long request = umockdev_ioctl_client_get_request(client);
  std::lock_guard<std::mutex> guard(slot.lock);
  if (slot.faults.unplugged) {
    umockdev_ioctl_client_complete(client, -1, ENODEV);
    return TRUE;
  }
  switch (request) {
    case USBDEVFS_GET_CAPABILITIES: {
      UMockdevIoctlData *d = resolve_arg(client, sizeof(uint32_t));
      uint32_t caps = USBDEVFS_CAP_BULK_CONTINUATION | USBDEVFS_CAP_NO_PACKET_SIZE_LIM |
                      USBDEVFS_CAP_REAP_AFTER_DISCONNECT | USBDEVFS_CAP_ZERO_PACKET;
      if (d != nullptr) {
        std::memcpy(d->data, &caps, sizeof caps);
        g_object_unref(d);
      }
      umockdev_ioctl_client_complete(client, 0, 0);
      return TRUE;
    }
    case USBDEVFS_GET_SPEED:
      umockdev_ioctl_client_complete(client, kUsbSpeedHigh, 0);
      return TRUE;
    case USBDEVFS_CLAIMINTERFACE:
      claim(slot, client, false);
      return TRUE;
    case USBDEVFS_DISCONNECT_CLAIM:
      claim(slot, client, true);
      return TRUE;
    case USBDEVFS_RELEASEINTERFACE:
      if (slot.claim_owner == client) release_claim(slot);
      umockdev_ioctl_client_complete(client, 0, 0);
      return TRUE;
    case USBDEVFS_GETDRIVER:
      get_driver(slot, client);
      return TRUE;
    case USBDEVFS_IOCTL:
      driver_ioctl(slot, client);
      return TRUE;
    case USBDEVFS_SETINTERFACE:
    case USBDEVFS_SETCONFIGURATION:
    case USBDEVFS_CLEAR_HALT:
    case USBDEVFS_RESETEP:
    case USBDEVFS_RESET:
      umockdev_ioctl_client_complete(client, 0, 0);
      return TRUE;
    case USBDEVFS_SUBMITURB:
      submit_urb(slot, client);
      return TRUE;
    case USBDEVFS_REAPURB:
    case USBDEVFS_REAPURBNDELAY:
      reap_urb(slot, client);
      return TRUE;
    case USBDEVFS_DISCARDURB:
      discard_urb(slot, client);
      return TRUE;
    default:
      slot.unknown.push_back(request);
      umockdev_ioctl_client_complete(client, -1, ENOTTY);
      return TRUE;
  }
}

void on_connected(UMockdevIoctlBase *, UMockdevIoctlClient *, gpointer user_data) {
  auto &slot = *static_cast<MockUsb::Slot *>(user_data);
  std::lock_guard<std::mutex> guard(slot.lock);
  ++slot.opens;
}

}  // namespace

void connect_usbfs_handler(UMockdevIoctlBase *handler, MockUsb::Slot *slot) {
  g_signal_connect(handler, "handle-ioctl", G_CALLBACK(on_ioctl), slot);
  g_signal_connect(handler, "client-connected", G_CALLBACK(on_connected), slot);
}

}  // namespace usbmock
