// SPDX-License-Identifier: Apache-2.0
// An emulated USB bus for the libusb port: umockdev fakes sysfs, udev and the usbfs device
// nodes, and an ioctl handler answers every usbfs request the way the kernel would, with the
// transfers themselves carried out by a device backend (normally the simulator's device model,
// linked in-process).  The real libusb-1.0 and its Linux backend run unchanged on top.
//
// The test process (and every child it starts with usbmock::child_environment()) must have
// libumockdev-preload.so loaded; tests/usbmock/CMakeLists.txt links it into the test binary.
#ifndef ORVANE_TESTS_USBMOCK_MOCK_USB_H
#define ORVANE_TESTS_USBMOCK_MOCK_USB_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace usbmock {

// What answers the transfers of one emulated device.
class Backend {
 public:
  virtual ~Backend() = default;
  // One vendor or class control transfer.  OUT: returns 0 (data in out_data); IN: returns
  // the bytes placed in in_data (at most length); -1 stalls the transfer.
  virtual int control(uint8_t request_type, uint8_t request, uint16_t value, uint16_t index,
                      uint16_t length, const uint8_t *out_data, uint8_t *in_data) = 0;
  // One bulk IN transfer on the data-in endpoint: bytes placed in buffer, or -1 to stall.
  virtual int bulk_in(uint8_t *buffer, size_t max) = 0;
};

// How one emulated device presents itself.
struct DeviceLook {
  uint16_t vendor = 0x3a7e;
  uint16_t product = 0x0032;
  uint8_t interface_class = 7;  // printer
  int devnum = 2;               // on bus 1; sysfs name 1-<devnum>
};

// One control or bulk transfer as the device received it.
struct Transfer {
  bool control = true;
  uint8_t endpoint = 0;  // bulk only
  uint8_t request_type = 0, request = 0;
  uint16_t value = 0, index = 0, length = 0;
  std::vector<uint8_t> data;  // OUT: the data stage; IN: the bytes delivered
  int status = 0;             // URB status: 0, -EPIPE (stall), -ENOENT (discarded)
};

// Faults a test arms on a device.  Counts say how many upcoming control transfers are hit.
struct Faults {
  int stall_controls = 0;    // complete with -EPIPE
  int hang_controls = 0;     // never complete: the host must time out and discard
  bool unplugged = false;    // every usbfs request fails with ENODEV
  bool nak_empty_bulk = false;  // a bulk IN with nothing to send waits (NAKs) until cancelled
};

class MockUsb {
 public:
  MockUsb();
  ~MockUsb();
  MockUsb(const MockUsb &) = delete;
  MockUsb &operator=(const MockUsb &) = delete;

  // Adds a device answered by backend; returns its number (0, 1, ...).
  int add_device(std::unique_ptr<Backend> backend, const DeviceLook &look = DeviceLook());
  // Puts a new backend behind device n (a fresh device on the same bus position).
  void set_backend(int n, std::unique_ptr<Backend> backend);

  // Transfers received so far by device n (a copy; the handler thread keeps adding).
  std::vector<Transfer> transfers(int n) const;
  void clear_transfers(int n);
  // usbfs requests the handler did not know (names by number), for diagnosis.
  std::vector<unsigned long> unknown_requests(int n) const;
  // Arms faults on device n (replaces the previous set).
  void set_faults(int n, const Faults &faults);
  // Interface 0 claimed by a client / the kernel's printer driver bound to it.  Like the
  // kernel, the device lets one open file hold the claim; another one gets EBUSY.
  bool claimed(int n) const;
  // The emulation learns of a closed file a moment after close(): waits (at most 2 s) until
  // no open file holds device n's interface.
  bool wait_released(int n) const;
  bool kernel_driver_bound(int n) const;
  // Number of times a client opened device n's node.
  int opens(int n) const;

  // The device node vanishes (as when the device is pulled): open() then fails.  sysfs and
  // udev still list the device.  restore_node() brings the node back.
  void remove_node(int n);
  // The node stays but may not be opened for writing (EACCES, for root only together with
  // NoFileOverride).  restore_node() gives the permission back.
  void make_node_unwritable(int n);
  void restore_node(int n);

  std::string root_dir() const;
  std::string devnode(int n) const;  // /dev/bus/usb/001/00N

  struct Slot;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// While alive, the calling thread runs without the capabilities that let root ignore file
// permissions, so make_node_unwritable() takes effect even for root.
class NoFileOverride {
 public:
  NoFileOverride();
  ~NoFileOverride();
  NoFileOverride(const NoFileOverride &) = delete;
  NoFileOverride &operator=(const NoFileOverride &) = delete;

 private:
  bool changed_ = false;
  uint32_t saved_[2] = {0, 0};
};

// True when this process runs with the umockdev preload library (the fake /sys and /dev).
bool preload_active();
// The LD_PRELOAD value for a child process that must see the emulated bus.
std::string child_preload();

}  // namespace usbmock

#endif
