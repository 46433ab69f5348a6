// SPDX-License-Identifier: Apache-2.0
// The libusb port: real hardware on Linux and macOS.
//
// Lists every USB device interface of the printer class (7), whatever its vendor, so that
// the library's own vendor match decides, as it does on Windows.  Device path:
// "usb:<bus>-<port.port...>:<config>.<interface>\vid_xxxx&pid_xxxx" with the ids in
// lower-case hex, e.g. "usb:1-3:1.0\vid_3a7e&pid_5a32".  Opening claims the interface, with
// the kernel's printer driver detached while it is claimed.  The two vendor requests become
// control transfers exactly as the Windows printer-class driver makes them
// (control_transfer.h); the data-in stream is a bulk IN transfer on the interface's IN
// endpoint.
//
// Where libusb cannot start (no USB subsystem, as in containers and on CI machines) there
// are no real devices; that is never a failed search.  Built without libusb, the port
// lists nothing.
#include <stdio.h>
#include <string.h>

#include "wire/control_transfer.h"
#include "port.h"

#if defined(DNUSB_HAVE_LIBUSB)

#include <libusb.h>

#include <algorithm>
#include <mutex>
#include <string>
#include <vector>

namespace {

constexpr unsigned kControlTimeoutMs = 5000;
constexpr unsigned kStreamTimeoutMs = 1000;
constexpr uint8_t kPrinterClass = 7;

struct usb_interface_entry {
  libusb_device *device;  // referenced while the walk lasts
  std::string path;
  std::string key;
  std::string location;  // bus and port chain: the selector dnusb-list shows
};

struct usb_open_device {
  libusb_device_handle *handle;
  uint8_t interface_number;
  uint8_t alternate_setting;
  uint8_t in_endpoint;  // 0: none
  std::string path;
  int users;
  bool gone;  // libusb reported the device gone: it is no longer shared with new opens
};

// usbfs lets one open file hold an interface; the Windows printer driver lets any number of
// handles share the device.  Every open of one path shares one claimed libusb handle, until
// the device is found gone: a device plugged in again at the same port has the same path but
// is a new device, which a new open must claim afresh rather than share the dead handle.
std::vector<usb_open_device *> open_devices;
std::mutex open_lock;

libusb_context *context = nullptr;
bool context_tried = false;
std::vector<usb_interface_entry> walk_entries;

libusb_context *usb_context() {
  if (!context_tried) {
    context_tried = true;
    if (libusb_init(&context) != 0) context = nullptr;
  }
  return context;
}

// "1-3.2" style location: bus, then the port chain.
std::string location_of(libusb_device *device) {
  char text[64];
  int len = snprintf(text, sizeof text, "%u", static_cast<unsigned>(libusb_get_bus_number(device)));
  uint8_t ports[8];
  int depth = libusb_get_port_numbers(device, ports, sizeof ports);
  for (int i = 0; i < depth && len > 0 && static_cast<size_t>(len) < sizeof text; ++i) {
    len += snprintf(text + len, sizeof text - static_cast<size_t>(len), i == 0 ? "-%u" : ".%u",
                    static_cast<unsigned>(ports[i]));
  }
  return text;
}

// Calls back for each printer-class interface (first alternate setting) of a device.
template <typename Visit>
void each_printer_interface(libusb_device *device, Visit visit) {
  libusb_device_descriptor desc;
  if (libusb_get_device_descriptor(device, &desc) != 0) return;
  libusb_config_descriptor *config = nullptr;
  if (libusb_get_active_config_descriptor(device, &config) != 0 &&
      libusb_get_config_descriptor(device, 0, &config) != 0) {
    return;
  }
  for (uint8_t i = 0; i < config->bNumInterfaces; ++i) {
    const libusb_interface &iface = config->interface[i];
    if (iface.num_altsetting < 1) continue;
    const libusb_interface_descriptor &alt = iface.altsetting[0];
    if (alt.bInterfaceClass != kPrinterClass) continue;
    uint8_t in_endpoint = 0;
    for (uint8_t e = 0; e < alt.bNumEndpoints; ++e) {
      const libusb_endpoint_descriptor &ep = alt.endpoint[e];
      bool bulk = (ep.bmAttributes & 0x03) == LIBUSB_TRANSFER_TYPE_BULK;
      if (bulk && (ep.bEndpointAddress & LIBUSB_ENDPOINT_IN) != 0) {
        in_endpoint = ep.bEndpointAddress;
        break;
      }
    }
    char path[128];
    snprintf(path, sizeof path, "usb:%s:%u.%u\\vid_%04x&pid_%04x", location_of(device).c_str(),
             static_cast<unsigned>(config->bConfigurationValue),
             static_cast<unsigned>(alt.bInterfaceNumber), static_cast<unsigned>(desc.idVendor),
             static_cast<unsigned>(desc.idProduct));
    visit(std::string(path), alt.bInterfaceNumber, alt.bAlternateSetting, in_endpoint);
  }
  libusb_free_config_descriptor(config);
}

bool usb_begin_walk(void) {
  walk_entries.clear();
  libusb_context *ctx = usb_context();
  if (ctx == nullptr) return true;  // no USB here: no real devices
  libusb_device **list = nullptr;
  ssize_t count = libusb_get_device_list(ctx, &list);
  for (ssize_t i = 0; i < count; ++i) {
    libusb_device *device = list[i];
    each_printer_interface(device, [&](const std::string &path, uint8_t, uint8_t, uint8_t) {
      usb_interface_entry entry;
      entry.device = libusb_ref_device(device);
      entry.path = path;
      entry.location = location_of(device);
      entry.key = "usb\\" + entry.location;
      walk_entries.push_back(entry);
    });
  }
  if (list != nullptr) libusb_free_device_list(list, 1);
  return true;
}

bool usb_interface_at(uint32_t index) { return index < walk_entries.size(); }

bool usb_device_path(uint32_t index, char *path, size_t size, size_t *length) {
  if (index >= walk_entries.size() || size == 0) return false;
  *length = walk_entries[index].path.size();
  snprintf(path, size, "%s", walk_entries[index].path.c_str());
  return true;
}

bool usb_driver_key(uint32_t index, char *key, size_t size) {
  if (index >= walk_entries.size() || size == 0) return false;
  snprintf(key, size, "%s", walk_entries[index].key.c_str());
  return true;
}

void usb_end_walk(void) {
  for (usb_interface_entry &entry : walk_entries) libusb_unref_device(entry.device);
  walk_entries.clear();
}

void set_reason(char *why, size_t why_size, const char *text) {
  if (why != nullptr && why_size > 0) snprintf(why, why_size, "%s", text);
}

const char *reason_of(int error) {
  switch (error) {
    case LIBUSB_ERROR_ACCESS: return "permission denied";
    case LIBUSB_ERROR_BUSY: return "device busy (claimed by another program)";
    case LIBUSB_ERROR_NO_DEVICE: return "device gone";
    case LIBUSB_ERROR_NOT_SUPPORTED: return "not supported by the USB stack";
    default: return libusb_strerror(static_cast<libusb_error>(error));
  }
}

// Opens the interface whose path is given: the device list is walked again, since the
// handle outlives any walk.
void *usb_open(const char *path, char *why, size_t why_size) {
  libusb_context *ctx = usb_context();
  if (ctx == nullptr || path == nullptr) {
    set_reason(why, why_size, "no USB subsystem");
    return nullptr;
  }
  std::lock_guard<std::mutex> guard(open_lock);
  for (usb_open_device *dev : open_devices) {
    if (dev->path == path) {
      ++dev->users;
      return dev;
    }
  }
  libusb_device **list = nullptr;
  ssize_t count = libusb_get_device_list(ctx, &list);
  usb_open_device *opened = nullptr;
  set_reason(why, why_size, "device gone");
  for (ssize_t i = 0; i < count && opened == nullptr; ++i) {
    libusb_device *device = list[i];
    each_printer_interface(device, [&](const std::string &candidate, uint8_t iface, uint8_t alt,
                                       uint8_t in_endpoint) {
      if (opened != nullptr || candidate != path) return;
      libusb_device_handle *handle = nullptr;
      int rc = libusb_open(device, &handle);
      if (rc != 0) {
        set_reason(why, why_size, reason_of(rc));
        return;
      }
      // The kernel's printer driver gives the interface back when it is released.
      libusb_set_auto_detach_kernel_driver(handle, 1);
      rc = libusb_claim_interface(handle, iface);
      if (rc == 0 && alt != 0) rc = libusb_set_interface_alt_setting(handle, iface, alt);
      if (rc != 0) {
        set_reason(why, why_size, reason_of(rc));
        libusb_close(handle);
        return;
      }
      opened = new usb_open_device{handle, iface, alt, in_endpoint, path, 1, false};
      open_devices.push_back(opened);
    });
  }
  if (list != nullptr) libusb_free_device_list(list, 1);
  return opened;
}

void usb_close(void *device) {
  usb_open_device *dev = static_cast<usb_open_device *>(device);
  if (dev == nullptr) return;
  std::lock_guard<std::mutex> guard(open_lock);
  if (--dev->users > 0) return;
  auto it = std::find(open_devices.begin(), open_devices.end(), dev);
  if (it != open_devices.end()) open_devices.erase(it);
  libusb_release_interface(dev->handle, dev->interface_number);
  libusb_close(dev->handle);
  delete dev;
}

// A transfer that found the device gone takes it out of the shared list (its handle stays
// with its users, whose transfers keep failing).
void note_failure(usb_open_device *dev, int rc) {
  if (rc != LIBUSB_ERROR_NO_DEVICE) return;
  std::lock_guard<std::mutex> guard(open_lock);
  if (dev->gone) return;
  dev->gone = true;
  auto it = std::find(open_devices.begin(), open_devices.end(), dev);
  if (it != open_devices.end()) open_devices.erase(it);
}

bool usb_vendor_set(void *device, const unsigned char *input, uint32_t len) {
  usb_open_device *dev = static_cast<usb_open_device *>(device);
  dn_setup_packet setup;
  if (!dn_vendor_write_setup(input, len, dev->interface_number, dev->alternate_setting, &setup)) {
    return false;
  }
  // libusb takes a non-const buffer for both directions; an OUT stage only reads it.
  int rc = libusb_control_transfer(dev->handle, setup.request_type, setup.request, setup.value,
                                   setup.index, const_cast<unsigned char *>(input), setup.length,
                                   kControlTimeoutMs);
  note_failure(dev, rc);
  return rc >= 0;
}

bool usb_vendor_get(void *device, const unsigned char *input, uint32_t len, unsigned char *out,
                    uint32_t out_size, uint32_t *got) {
  usb_open_device *dev = static_cast<usb_open_device *>(device);
  *got = 0;
  dn_setup_packet setup;
  if (!dn_vendor_read_setup(input, len, out_size, dev->interface_number, dev->alternate_setting,
                            &setup)) {
    return false;
  }
  int rc = libusb_control_transfer(dev->handle, setup.request_type, setup.request, setup.value,
                                   setup.index, out, setup.length, kControlTimeoutMs);
  note_failure(dev, rc);
  if (rc < 0) return false;
  *got = static_cast<uint32_t>(rc);
  return true;
}

int usb_read_stream(void *device, unsigned char *buf, uint32_t size) {
  usb_open_device *dev = static_cast<usb_open_device *>(device);
  if (dev->in_endpoint == 0) return -1;
  int transferred = 0;
  int rc = libusb_bulk_transfer(dev->handle, dev->in_endpoint, buf, static_cast<int>(size),
                                &transferred, kStreamTimeoutMs);
  note_failure(dev, rc);
  // Nothing queued within the time-out is an empty read, not a failure.
  if (rc != 0 && rc != LIBUSB_ERROR_TIMEOUT) return -1;
  return transferred;
}

// The serial string of a device (iSerialNumber), read with a handle of our own when this
// process does not hold the device already.  Opening without claiming leaves a device that
// another process is using undisturbed.
void read_serial(libusb_device *device, const std::string &path, char *serial, size_t size) {
  libusb_device_descriptor desc;
  if (libusb_get_device_descriptor(device, &desc) != 0 || desc.iSerialNumber == 0) return;
  unsigned char text[256];
  int length = -1;
  {
    std::lock_guard<std::mutex> guard(open_lock);
    for (usb_open_device *dev : open_devices) {
      if (dev->path == path) {
        length = libusb_get_string_descriptor_ascii(dev->handle, desc.iSerialNumber, text,
                                                    sizeof text);
        break;
      }
    }
  }
  if (length < 0) {
    libusb_device_handle *handle = nullptr;
    if (libusb_open(device, &handle) != 0) return;
    length = libusb_get_string_descriptor_ascii(handle, desc.iSerialNumber, text, sizeof text);
    libusb_close(handle);
  }
  if (length <= 0) return;
  snprintf(serial, size, "%.*s", length, reinterpret_cast<const char *>(text));
}

void usb_names(uint32_t index, const char *path, bool with_serial, dn_device_names *names) {
  if (index >= walk_entries.size()) return;
  const usb_interface_entry &entry = walk_entries[index];
  snprintf(names->location, sizeof names->location, "%s", entry.location.c_str());
  if (with_serial) read_serial(entry.device, path, names->serial, sizeof names->serial);
}

}  // namespace

extern const dn_port dn_port_libusb = {
    "libusb",       usb_begin_walk, usb_interface_at, usb_device_path, usb_driver_key,
    usb_end_walk,   usb_open,       usb_close,        usb_vendor_set,  usb_vendor_get,
    usb_read_stream, usb_names,
};

#else  // built without libusb: a port with no devices

namespace {

bool none_begin_walk(void) { return true; }
bool none_interface_at(uint32_t) { return false; }
bool none_device_path(uint32_t, char *, size_t, size_t *) { return false; }
bool none_driver_key(uint32_t, char *, size_t) { return false; }
void none_end_walk(void) {}
void *none_open(const char *, char *why, size_t why_size) {
  if (why != nullptr && why_size > 0) snprintf(why, why_size, "built without libusb");
  return nullptr;
}
void none_close(void *) {}
bool none_vendor_set(void *, const unsigned char *, uint32_t) { return false; }
bool none_vendor_get(void *, const unsigned char *, uint32_t, unsigned char *, uint32_t,
                     uint32_t *got) {
  *got = 0;
  return false;
}
int none_read_stream(void *, unsigned char *, uint32_t) { return -1; }

}  // namespace

extern const dn_port dn_port_libusb = {
    "libusb",        none_begin_walk, none_interface_at, none_device_path, none_driver_key,
    none_end_walk,   none_open,       none_close,        none_vendor_set,  none_vendor_get,
    none_read_stream, nullptr,
};

#endif
