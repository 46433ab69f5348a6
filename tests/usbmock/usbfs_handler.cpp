// The kernel side of usbfs for one emulated device: every ioctl libusb's Linux backend sends to
// /dev/bus/usb/BBB/DDD arrives here (on umockdev's handler thread) and is answered as the
// kernel would, the transfers themselves by the device's backend.
//
// A URB is carried out when it is submitted and queued for reaping; libusb reaps with
// REAPURBNDELAY when the node polls writable.  A control URB's buffer is the 8-byte setup
// packet followed by the data stage, and its actual_length counts the data stage only.
#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "mock_usb_slot.h"

namespace usbmock {

namespace {

constexpr uint8_t kTypeMask = 0x60;
constexpr uint8_t kTypeStandard = 0x00;
constexpr uint8_t kGetDescriptor = 6;
constexpr uint8_t kDataInEndpoint = 0x81;
constexpr int kUsbSpeedHigh = 3;  // USB_SPEED_HIGH, the answer to GET_SPEED
constexpr size_t kDriverNameSize = USBDEVFS_MAXDRIVERNAME + 1;

// Resolves the structure the ioctl argument points to (a local copy, synced back on
// completion).  The caller unrefs.
UMockdevIoctlData *resolve_arg(UMockdevIoctlClient *client, size_t size) {
  return umockdev_ioctl_data_resolve(umockdev_ioctl_client_get_arg(client), 0, size, nullptr);
}

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
  uint8_t *bytes = buffer ? buffer->data : nullptr;
  bool control = urb->type == USBDEVFS_URB_TYPE_CONTROL;
  if (!control && urb->type != USBDEVFS_URB_TYPE_BULK) {
    umockdev_ioctl_client_complete(client, -1, EINVAL);
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
    slot.flying.push_back(static_cast<UMockdevIoctlData *>(g_object_ref(urb_data)));
    umockdev_ioctl_client_complete(client, 0, 0);
  } else {
    int actual = 0;
    urb->status = control ? run_control(slot, bytes, urb->buffer_length, &actual)
                          : run_bulk(slot, urb->endpoint, bytes, urb->buffer_length, &actual);
    urb->actual_length = actual;
    if (urb->status == -EINVAL) {
      umockdev_ioctl_client_complete(client, -1, EINVAL);
    } else {
      slot.done.push_back(static_cast<UMockdevIoctlData *>(g_object_ref(urb_data)));
      umockdev_ioctl_client_complete(client, 0, 0);
    }
  }
  if (buffer) g_object_unref(buffer);
  g_object_unref(urb_data);
}

void reap_urb(MockUsb::Slot &slot, UMockdevIoctlClient *client) {
  if (slot.done.empty()) {
    umockdev_ioctl_client_complete(client, -1, EAGAIN);
    return;
  }
  UMockdevIoctlData *urb_data = slot.done.front();
  slot.done.pop_front();
  // The reply is a pointer to the reaped URB, in the client's own address space.
  UMockdevIoctlData *ptr = resolve_arg(client, sizeof(void *));
  if (ptr != nullptr) {
    umockdev_ioctl_data_set_ptr(ptr, 0, urb_data);
    g_object_unref(ptr);
  }
  umockdev_ioctl_client_complete(client, 0, 0);
  g_object_unref(urb_data);
}

void discard_urb(MockUsb::Slot &slot, UMockdevIoctlClient *client) {
  // The argument is the URB's address itself.
  UMockdevIoctlData *arg = umockdev_ioctl_client_get_arg(client);
  gulong address = 0;
  std::memcpy(&address, arg->data, std::min<size_t>(sizeof address, arg->data_len));
  auto it = std::find_if(slot.flying.begin(), slot.flying.end(),
                         [address](UMockdevIoctlData *d) { return d->client_addr == address; });
  if (it == slot.flying.end()) {
    umockdev_ioctl_client_complete(client, -1, EINVAL);
    return;
  }
  auto *urb = reinterpret_cast<usbdevfs_urb *>((*it)->data);
  urb->status = -ENOENT;
  urb->actual_length = 0;
  slot.done.push_back(*it);
  slot.flying.erase(it);
  umockdev_ioctl_client_complete(client, 0, 0);
}

void release_claim(MockUsb::Slot &slot) {
  if (slot.claim_owner != nullptr) g_object_unref(slot.claim_owner);
  slot.claim_owner = nullptr;
}

}  // namespace

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
  } else if (slot.faults.claim_errno != 0) {
    umockdev_ioctl_client_complete(client, -1, slot.faults.claim_errno);
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

void release_urbs(MockUsb::Slot *slot) {
  std::lock_guard<std::mutex> guard(slot->lock);
  for (UMockdevIoctlData *d : slot->done) g_object_unref(d);
  for (UMockdevIoctlData *d : slot->flying) g_object_unref(d);
  slot->done.clear();
  slot->flying.clear();
  release_claim(*slot);
}

}  // namespace usbmock
