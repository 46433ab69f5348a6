// SPDX-License-Identifier: Apache-2.0
// URBs on the emulated usbfs node: submitted, carried out by the device's backend, reaped or
// discarded, as the kernel does it.
//
// A URB is carried out when it is submitted and queued for reaping; libusb reaps with
// REAPURBNDELAY when the node polls writable.  A control URB's buffer is the 8-byte setup
// packet followed by the data stage, and its actual_length counts the data stage only.
#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "mock_usb_slot.h"

namespace usbmock {

namespace {

constexpr uint8_t kTypeMask = 0x60;
constexpr uint8_t kTypeStandard = 0x00;
constexpr uint8_t kGetDescriptor = 6;
constexpr uint8_t kDataInEndpoint = 0x81;

// GET_DESCRIPTOR answered from the device's own tables; -1 stalls anything else.
int standard_in(const MockUsb::Slot &slot, const Transfer &t, uint8_t *in) {
  if (t.request != kGetDescriptor) return -1;
  uint8_t type = static_cast<uint8_t>(t.value >> 8);
  uint8_t index = static_cast<uint8_t>(t.value & 0xff);
  std::vector<uint8_t> d;
  if (type == 1) d.assign(slot.descriptors.begin(), slot.descriptors.begin() + 18);
  if (type == 2 && index == 0) d.assign(slot.descriptors.begin() + 18, slot.descriptors.end());
  if (type == 3) d = string_descriptor(index);
  if (d.empty()) return -1;
  size_t n = std::min<size_t>(d.size(), t.length);
  std::memcpy(in, d.data(), n);
  return static_cast<int>(n);
}

// Carries out a control URB: buffer holds the setup packet, then room for the data stage.
// Returns the URB status; *actual is the data-stage length delivered.
int run_control(MockUsb::Slot &slot, uint8_t *buffer, int buffer_length, int *actual) {
  *actual = 0;
  if (buffer_length < 8) return -EINVAL;
  Transfer t;
  t.request_type = buffer[0];
  t.request = buffer[1];
  t.value = static_cast<uint16_t>(buffer[2] | buffer[3] << 8);
  t.index = static_cast<uint16_t>(buffer[4] | buffer[5] << 8);
  t.length = static_cast<uint16_t>(buffer[6] | buffer[7] << 8);
  if (t.length > buffer_length - 8) return -EINVAL;  // the kernel refuses such a URB
  uint8_t *stage = buffer + 8;
  bool in = (t.request_type & 0x80) != 0;
  int result;
  if (slot.faults.stall_controls > 0) {
    --slot.faults.stall_controls;
    result = -1;
  } else if ((t.request_type & kTypeMask) == kTypeStandard) {
    result = in ? standard_in(slot, t, stage) : -1;
  } else {
    result = slot.backend->control(t.request_type, t.request, t.value, t.index, t.length,
                                   in ? nullptr : stage, in ? stage : nullptr);
  }
  if (result > t.length) result = t.length;  // a device never sends more than asked
  if (result >= 0 && in) *actual = result;
  if (result >= 0 && !in) *actual = t.length;
  if (in && result > 0) t.data.assign(stage, stage + result);
  if (!in) t.data.assign(stage, stage + t.length);
  t.status = result < 0 ? -EPIPE : 0;
  slot.transfers.push_back(t);
  return t.status;
}

// Carries out a bulk URB.  Only the data-in endpoint has something to say; what the host
// sends on the OUT endpoint is taken and dropped, as the chip does.
int run_bulk(MockUsb::Slot &slot, uint8_t endpoint, uint8_t *buffer, int buffer_length,
             int *actual) {
  Transfer t;
  t.control = false;
  t.endpoint = endpoint;
  t.length = static_cast<uint16_t>(std::min(buffer_length, 0xffff));
  int result = buffer_length;
  if (endpoint == kDataInEndpoint) {
    result = slot.backend->bulk_in(buffer, static_cast<size_t>(buffer_length));
    if (result > 0) t.data.assign(buffer, buffer + result);
  } else if ((endpoint & 0x80) != 0) {
    result = -1;
  } else {
    t.data.assign(buffer, buffer + buffer_length);
  }
  *actual = result < 0 ? 0 : result;
  t.status = result < 0 ? -EPIPE : 0;
  slot.transfers.push_back(t);
  return t.status;
}

MockUsb::Slot::Urb hold(UMockdevIoctlClient *client, UMockdevIoctlData *urb) {
  return {static_cast<UMockdevIoctlClient *>(g_object_ref(client)),
          static_cast<UMockdevIoctlData *>(g_object_ref(urb))};
}

void drop(const MockUsb::Slot::Urb &urb) {
  g_object_unref(urb.client);
  g_object_unref(urb.data);
}

}  // namespace

void submit_urb(MockUsb::Slot &slot, UMockdevIoctlClient *client) {
  UMockdevIoctlData *urb_data = resolve_arg(client, sizeof(usbdevfs_urb));
  if (urb_data == nullptr) {
    umockdev_ioctl_client_complete(client, -1, EFAULT);
    return;
  }
  auto *urb = reinterpret_cast<usbdevfs_urb *>(urb_data->data);
  UMockdevIoctlData *buffer = nullptr;
  if (urb->buffer_length > 0) {
    buffer = umockdev_ioctl_data_resolve(urb_data, G_STRUCT_OFFSET(usbdevfs_urb, buffer),
                                         static_cast<gsize>(urb->buffer_length), nullptr);
  }
  if (urb->buffer_length > 0 && buffer == nullptr) {
    umockdev_ioctl_client_complete(client, -1, EFAULT);
    g_object_unref(urb_data);
    return;
  }
  uint8_t *bytes = buffer ? buffer->data : nullptr;
  bool control = urb->type == USBDEVFS_URB_TYPE_CONTROL;
  // A request to an interface needs that interface claimed by this file (or claimable).
  int refused = 0;
  if (control && bytes != nullptr && urb->buffer_length >= 8 && (bytes[0] & 0x1f) == 1) {
    refused = interface_access(slot, client, static_cast<uint16_t>(bytes[4] | bytes[5] << 8));
  }
  if (!control && urb->type != USBDEVFS_URB_TYPE_BULK) {
    umockdev_ioctl_client_complete(client, -1, EINVAL);
  } else if (refused != 0) {
    umockdev_ioctl_client_complete(client, -1, refused);
  } else if (control && slot.faults.hang_controls > 0) {
    // The device never answers: the URB stays in flight until the host discards it.
    --slot.faults.hang_controls;
    Transfer t;
    if (bytes && urb->buffer_length >= 8) {
      t.request_type = bytes[0];
      t.request = bytes[1];
      t.value = static_cast<uint16_t>(bytes[2] | bytes[3] << 8);
      t.index = static_cast<uint16_t>(bytes[4] | bytes[5] << 8);
      t.length = static_cast<uint16_t>(bytes[6] | bytes[7] << 8);
    }
    t.status = -ENOENT;
    slot.transfers.push_back(t);
    slot.flying.push_back(hold(client, urb_data));
    umockdev_ioctl_client_complete(client, 0, 0);
  } else {
    int actual = 0;
    urb->status = control ? run_control(slot, bytes, urb->buffer_length, &actual)
                          : run_bulk(slot, urb->endpoint, bytes, urb->buffer_length, &actual);
    urb->actual_length = actual;
    bool nak = !control && (urb->endpoint & 0x80) != 0 && urb->status == 0 && actual == 0 &&
               slot.faults.nak_empty_bulk;
    if (urb->status == -EINVAL) {
      umockdev_ioctl_client_complete(client, -1, EINVAL);
    } else if (nak) {
      // Nothing queued: the device NAKs, and the URB waits until the host gives up on it.
      slot.flying.push_back(hold(client, urb_data));
      umockdev_ioctl_client_complete(client, 0, 0);
    } else {
      slot.done.push_back(hold(client, urb_data));
      umockdev_ioctl_client_complete(client, 0, 0);
    }
  }
  if (buffer) g_object_unref(buffer);
  g_object_unref(urb_data);
}

void reap_urb(MockUsb::Slot &slot, UMockdevIoctlClient *client) {
  auto mine = [client](const MockUsb::Slot::Urb &u) { return u.client == client; };
  auto it = std::find_if(slot.done.begin(), slot.done.end(), mine);
  if (it == slot.done.end()) {
    umockdev_ioctl_client_complete(client, -1, EAGAIN);
    return;
  }
  MockUsb::Slot::Urb urb = *it;
  slot.done.erase(it);
  // The reply is a pointer to the reaped URB, in the client's own address space.
  UMockdevIoctlData *ptr = resolve_arg(client, sizeof(void *));
  if (ptr != nullptr) {
    umockdev_ioctl_data_set_ptr(ptr, 0, urb.data);
    g_object_unref(ptr);
  }
  umockdev_ioctl_client_complete(client, 0, 0);
  drop(urb);
}

void discard_urb(MockUsb::Slot &slot, UMockdevIoctlClient *client) {
  // The argument is the URB's address itself.
  UMockdevIoctlData *arg = umockdev_ioctl_client_get_arg(client);
  gulong address = 0;
  std::memcpy(&address, arg->data, std::min<size_t>(sizeof address, arg->data_len));
  auto it = std::find_if(slot.flying.begin(), slot.flying.end(),
                         [client, address](const MockUsb::Slot::Urb &u) {
                           return u.client == client && u.data->client_addr == address;
                         });
  if (it == slot.flying.end()) {
    umockdev_ioctl_client_complete(client, -1, EINVAL);
    return;
  }
  auto *urb = reinterpret_cast<usbdevfs_urb *>(it->data->data);
  urb->status = -ENOENT;
  urb->actual_length = 0;
  slot.done.push_back(*it);
  slot.flying.erase(it);
  umockdev_ioctl_client_complete(client, 0, 0);
}

// Resolves the structure the ioctl argument points to (a local copy, synced back on
// completion).  The caller unrefs.
UMockdevIoctlData *resolve_arg(UMockdevIoctlClient *client, size_t size) {
  return umockdev_ioctl_data_resolve(umockdev_ioctl_client_get_arg(client), 0, size, nullptr);
}

void release_urbs(MockUsb::Slot *slot) {
  std::lock_guard<std::mutex> guard(slot->lock);
  for (const MockUsb::Slot::Urb &u : slot->done) drop(u);
  for (const MockUsb::Slot::Urb &u : slot->flying) drop(u);
  slot->done.clear();
  slot->flying.clear();
  release_claim(*slot);
}

}  // namespace usbmock

