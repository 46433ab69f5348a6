// SPDX-License-Identifier: Apache-2.0
// The Windows port: the USB printer-class stack itself.
//
// Devices are the GUID_DEVINTERFACE_USBPRINT interfaces that SetupAPI lists; a device is the
// file handle CreateFileA gives for its interface path; the two vendor requests are the
// printer-class driver's IOCTL_USBPRINT_VENDOR_SET_COMMAND / ..._GET_COMMAND, and the data
// stream is a ReadFile on the same handle.  Everything is synchronous (no overlapped I/O).
//
// Names for DNUSB_DEVICE: the location is the device's first location path
// ("PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(3)#USB(2)"; the location information "Port_#0002.
// Hub_#0001" where there is none); the serial is the instance part of the interface path
// ("\\?\usb#vid_3a7e&pid_5a32#SERIAL#{guid}"), which Windows takes from the device's serial
// number when it reports one; an instance id Windows made up itself holds '&' and is no serial.
#include <stdlib.h>
#include <string.h>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <setupapi.h>
#include <winioctl.h>

#include "port.h"

namespace {

// {28D78FAD-5A12-11D1-AE5B-0000F803A8C2}: the printer-class device interfaces.
const GUID kUsbPrintInterface = {
    0x28d78fad, 0x5a12, 0x11d1, {0xae, 0x5b, 0x00, 0x00, 0xf8, 0x03, 0xa8, 0xc2}};

// Function numbers 14 and 15 of FILE_DEVICE_UNKNOWN, buffered, any access.
constexpr DWORD kVendorSetCommand = CTL_CODE(FILE_DEVICE_UNKNOWN, 14, METHOD_BUFFERED,
                                             FILE_ANY_ACCESS);
constexpr DWORD kVendorGetCommand = CTL_CODE(FILE_DEVICE_UNKNOWN, 15, METHOD_BUFFERED,
                                             FILE_ANY_ACCESS);
static_assert(kVendorSetCommand == 0x220038, "IOCTL_USBPRINT_VENDOR_SET_COMMAND");
static_assert(kVendorGetCommand == 0x22003C, "IOCTL_USBPRINT_VENDOR_GET_COMMAND");

// One search at a time (port.h): the device set and what the walk learnt about the current
// interface.  SetupAPI hands out the interface record and the device record one call after
// another; the index tells which interface they belong to.
struct walk_state {
  HDEVINFO set;
  SP_DEVICE_INTERFACE_DATA interface_data;
  uint32_t interface_index;
  bool have_interface;
  SP_DEVINFO_DATA device_data;
  uint32_t device_index;
  bool have_device;
};

walk_state walk = {INVALID_HANDLE_VALUE, {}, 0, false, {}, 0, false};

bool begin_walk() {
  walk.have_interface = false;
  walk.have_device = false;
  walk.set = SetupDiGetClassDevsA(&kUsbPrintInterface, nullptr, nullptr,
                                  DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
  return walk.set != INVALID_HANDLE_VALUE;
}

bool interface_at(uint32_t index) {
  if (walk.set == INVALID_HANDLE_VALUE) return false;
  walk.have_interface = false;
  walk.have_device = false;
  memset(&walk.interface_data, 0, sizeof walk.interface_data);
  walk.interface_data.cbSize = sizeof walk.interface_data;  // 28 on i686
  if (!SetupDiEnumDeviceInterfaces(walk.set, nullptr, &kUsbPrintInterface, index,
                                   &walk.interface_data)) {
    return false;
  }
  walk.interface_index = index;
  walk.have_interface = true;
  return true;
}

bool device_path(uint32_t index, char *path, size_t size, size_t *length) {
  if (size > 0) path[0] = '\0';
  *length = 0;
  if (!walk.have_interface || walk.interface_index != index) return false;

  // The first call only asks for the size the detail record needs; its result is expected
  // to be a failure (ERROR_INSUFFICIENT_BUFFER) and is not tested.
  DWORD required = 0;
  SetupDiGetDeviceInterfaceDetailA(walk.set, &walk.interface_data, nullptr, 0, &required,
                                   nullptr);
  if (required < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A)) {
    required = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
  }
  auto *detail = static_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A *>(calloc(1, required));
  if (detail == nullptr) {
    // No memory for this interface: report a path that cannot be used, so the search goes
    // on with the next index.
    *length = size;
    return true;
  }
  detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);  // 5 on i686
  memset(&walk.device_data, 0, sizeof walk.device_data);
  walk.device_data.cbSize = sizeof walk.device_data;  // 28 on i686
  if (!SetupDiGetDeviceInterfaceDetailA(walk.set, &walk.interface_data, detail, required,
                                        nullptr, &walk.device_data)) {
    free(detail);
    return false;
  }
  walk.device_index = index;
  walk.have_device = true;

  // The path lies within the record; never read past the end of what was allocated.
  size_t offset = offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath);
  size_t available = required > offset ? required - offset : 0;
  size_t full = strnlen(detail->DevicePath, available);
  *length = full;
  if (size > 0) {
    size_t copied = full < size - 1 ? full : size - 1;
    memcpy(path, detail->DevicePath, copied);
    path[copied] = '\0';
  }
  free(detail);
  return true;
}

bool driver_key(uint32_t index, char *key, size_t size) {
  if (size > 0) key[0] = '\0';
  // An interface skipped for want of memory has no device record; its key is not needed.
  if (!walk.have_device || walk.device_index != index) return walk.have_interface;
  DWORD capacity = size > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<DWORD>(size);
  return SetupDiGetDeviceRegistryPropertyA(walk.set, &walk.device_data, SPDRP_DRIVER, nullptr,
                                           reinterpret_cast<PBYTE>(key), capacity,
                                           nullptr) != FALSE;
}

void end_walk() {
  if (walk.set != INVALID_HANDLE_VALUE) SetupDiDestroyDeviceInfoList(walk.set);
  walk.set = INVALID_HANDLE_VALUE;
  walk.have_interface = false;
  walk.have_device = false;
}

void *open_device(const char *path, char *why, size_t why_size) {
  HANDLE file = CreateFileA(path, GENERIC_READ | GENERIC_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS, 0,
                            nullptr);
  if (file == INVALID_HANDLE_VALUE || file == nullptr) {
    if (why != nullptr && why_size > 0) {
      DWORD error = GetLastError();
      const char *reason = error == ERROR_ACCESS_DENIED      ? "permission denied"
                           : error == ERROR_SHARING_VIOLATION ? "device busy"
                                                               : "cannot open";
      strncpy(why, reason, why_size - 1);
      why[why_size - 1] = '\0';
    }
    return nullptr;
  }
  return file;
}

void close_device(void *device) { CloseHandle(static_cast<HANDLE>(device)); }

bool vendor_set(void *device, const unsigned char *input, uint32_t len) {
  DWORD returned = 0;
  // METHOD_BUFFERED: the driver copies the input and never writes to it.
  return DeviceIoControl(static_cast<HANDLE>(device), kVendorSetCommand,
                         const_cast<unsigned char *>(input), len, nullptr, 0, &returned,
                         nullptr) != FALSE;
}

bool vendor_get(void *device, const unsigned char *input, uint32_t len, unsigned char *out,
                uint32_t out_size, uint32_t *got) {
  DWORD returned = 0;
  BOOL ok = DeviceIoControl(static_cast<HANDLE>(device), kVendorGetCommand,
                            const_cast<unsigned char *>(input), len, out, out_size, &returned,
                            nullptr);
  *got = ok ? static_cast<uint32_t>(returned) : 0;
  return ok != FALSE;
}

int read_stream(void *device, unsigned char *buf, uint32_t size) {
  DWORD count = 0;
  if (!ReadFile(static_cast<HANDLE>(device), buf, size, &count, nullptr)) return -1;
  return static_cast<int>(count);
}

void location_of(uint32_t index, char *location, size_t size) {
  if (!walk.have_device || walk.device_index != index || size < 2) return;
  DWORD capacity = size > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<DWORD>(size - 1);
  // A multi-string: the first path is the one wanted, and it ends at its own NUL.
  if (SetupDiGetDeviceRegistryPropertyA(walk.set, &walk.device_data, SPDRP_LOCATION_PATHS,
                                        nullptr, reinterpret_cast<PBYTE>(location), capacity,
                                        nullptr) &&
      location[0] != '\0') {
    return;
  }
  location[0] = '\0';
  if (!SetupDiGetDeviceRegistryPropertyA(walk.set, &walk.device_data,
                                         SPDRP_LOCATION_INFORMATION, nullptr,
                                         reinterpret_cast<PBYTE>(location), capacity, nullptr)) {
    location[0] = '\0';
  }
}

void serial_of(const char *path, char *serial, size_t size) {
  // Fields of "\\?\usb#vid_xxxx&pid_xxxx#INSTANCE#{guid}": the instance is the third.
  const char *first = strchr(path, '#');
  const char *second = first != nullptr ? strchr(first + 1, '#') : nullptr;
  const char *third = second != nullptr ? strchr(second + 1, '#') : nullptr;
  if (third == nullptr) return;
  size_t length = static_cast<size_t>(third - (second + 1));
  if (length == 0 || length >= size || memchr(second + 1, '&', length) != nullptr) return;
  memcpy(serial, second + 1, length);
  serial[length] = '\0';
}

void names(uint32_t index, const char *path, bool with_serial, dn_device_names *out) {
  location_of(index, out->location, sizeof out->location);
  if (with_serial) serial_of(path, out->serial, sizeof out->serial);
}

}  // namespace

extern const dn_port dn_port_windows;
const dn_port dn_port_windows = {
    "windows",     begin_walk, interface_at, device_path, driver_key, end_walk, open_device,
    close_device,  vendor_set, vendor_get,   read_stream, names,
};
