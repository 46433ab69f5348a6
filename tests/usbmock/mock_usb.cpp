// SPDX-License-Identifier: Apache-2.0
// The emulated bus: a umockdev testbed holding one sysfs entry, udev record and usbfs node per
// device, each node answered by its own usbfs handler (usbfs_handler.cpp).
#include "mock_usb.h"

#include <link.h>
#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "mock_usb_slot.h"
#include "support/hex_text.h"

namespace usbmock {

namespace {

__attribute__((format(printf, 1, 2))) std::string format(const char *fmt, ...) {
  char buf[128];
  va_list args;
  va_start(args, fmt);
  std::vsnprintf(buf, sizeof buf, fmt, args);
  va_end(args);
  return buf;
}

const char kHubPath[] = "/devices/pci0000:00/0000:00:14.0/usb1";

}  // namespace

struct MockUsb::Impl {
  UMockdevTestbed *testbed = nullptr;
  std::vector<std::unique_ptr<Slot>> slots;

  Slot &slot(int n) { return *slots.at(static_cast<size_t>(n)); }
};

MockUsb::MockUsb() : impl_(new Impl) { impl_->testbed = umockdev_testbed_new(); }

MockUsb::~MockUsb() {
  for (size_t n = 0; n < impl_->slots.size(); ++n) {
    Slot *slot = impl_->slots[n].get();
    umockdev_testbed_detach_ioctl(impl_->testbed, devnode(static_cast<int>(n)).c_str(), nullptr);
    release_urbs(slot);
    g_object_unref(slot->handler);
  }
  g_object_unref(impl_->testbed);
}

int MockUsb::add_device(std::unique_ptr<Backend> backend, const DeviceLook &look) {
  int n = static_cast<int>(impl_->slots.size());
  auto slot = std::make_unique<Slot>();
  slot->backend = std::move(backend);
  slot->look = look;
  slot->descriptors = build_descriptors(look);
  slot->handler = umockdev_ioctl_base_new();
  connect_usbfs_handler(slot->handler, slot.get());
  Slot *raw = slot.get();
  impl_->slots.push_back(std::move(slot));

  // The handler goes first, so the node is answered from the moment it appears.
  std::string node = devnode(n);
  umockdev_testbed_attach_ioctl(impl_->testbed, node.c_str(), raw->handler, nullptr);

  std::string sys = std::string(kHubPath) + format("/1-%d", look.devnum);
  std::string record =
      "P: " + sys + "\n" +
      "N: " + node.substr(5) + "\n"
      "E: SUBSYSTEM=usb\n"
      "E: DEVTYPE=usb_device\n"
      "E: DRIVER=usb\n"
      "E: DEVNAME=" + node + "\n" +
      "E: BUSNUM=001\n" +
      format("E: DEVNUM=%03d\n", look.devnum) +
      format("E: PRODUCT=%x/%x/100\n", look.vendor, look.product) +
      "A: busnum=1\\n\n" +
      format("A: devnum=%d\\n\n", look.devnum) +
      "A: speed=480\\n\n"
      "A: bConfigurationValue=1\\n\n"
      "A: bNumInterfaces= 1\\n\n" +
      format("A: idVendor=%04x\\n\n", look.vendor) +
      format("A: idProduct=%04x\\n\n", look.product) +
      "A: manufacturer=ZK32\\n\n"
      "A: product=ZK32 USB\\n\n"
      "H: descriptors=" + hex_text::to_hex(raw->descriptors) + "\n";
  GError *error = nullptr;
  if (!umockdev_testbed_add_from_string(impl_->testbed, record.c_str(), &error)) {
    std::fprintf(stderr, "usbmock: cannot add device: %s\n", error ? error->message : "?");
    if (error) g_error_free(error);
  }
  // The printer interface, bound to the kernel's printer driver until a client detaches it.
  std::string iface = sys + format("/1-%d:1.0", look.devnum);
  std::string iface_record = "P: " + iface + "\n" +
                             "E: SUBSYSTEM=usb\n"
                             "E: DEVTYPE=usb_interface\n"
                             "E: DRIVER=usblp\n" +
                             format("A: bInterfaceClass=%02x\\n\n", look.interface_class) +
                             "A: bInterfaceNumber=00\\n\n"
                             "A: bAlternateSetting= 0\\n\n"
                             "A: bNumEndpoints=02\\n\n";
  if (!umockdev_testbed_add_from_string(impl_->testbed, iface_record.c_str(), &error)) {
    std::fprintf(stderr, "usbmock: cannot add interface: %s\n", error ? error->message : "?");
    if (error) g_error_free(error);
  }
  return n;
}

std::vector<Transfer> MockUsb::transfers(int n) const {
  Slot &s = impl_->slot(n);
  std::lock_guard<std::mutex> guard(s.lock);
  return s.transfers;
}

void MockUsb::clear_transfers(int n) {
  Slot &s = impl_->slot(n);
  std::lock_guard<std::mutex> guard(s.lock);
  s.transfers.clear();
}

std::vector<unsigned long> MockUsb::unknown_requests(int n) const {
  Slot &s = impl_->slot(n);
  std::lock_guard<std::mutex> guard(s.lock);
  return s.unknown;
}

void MockUsb::set_faults(int n, const Faults &faults) {
  Slot &s = impl_->slot(n);
  std::lock_guard<std::mutex> guard(s.lock);
  s.faults = faults;
}

bool MockUsb::claimed(int n) const {
  Slot &s = impl_->slot(n);
  std::lock_guard<std::mutex> guard(s.lock);
  release_if_closed(s);
  return s.claim_owner != nullptr;
}

bool MockUsb::wait_released(int n) const {
  for (int waited = 0; waited < 2000; waited += 5) {
    if (!claimed(n)) return true;
    usleep(5000);
  }
  return false;
}

bool MockUsb::kernel_driver_bound(int n) const {
  Slot &s = impl_->slot(n);
  std::lock_guard<std::mutex> guard(s.lock);
  return s.driver_bound;
}

int MockUsb::opens(int n) const {
  Slot &s = impl_->slot(n);
  std::lock_guard<std::mutex> guard(s.lock);
  return s.opens;
}

void MockUsb::set_backend(int n, std::unique_ptr<Backend> backend) {
  Slot &s = impl_->slot(n);
  std::lock_guard<std::mutex> guard(s.lock);
  s.backend = std::move(backend);
}

void MockUsb::remove_node(int n) {
  std::string node = root_dir() + devnode(n);
  std::rename(node.c_str(), (node + ".gone").c_str());
}

void MockUsb::make_node_unwritable(int n) { chmod((root_dir() + devnode(n)).c_str(), 0444); }

void MockUsb::restore_node(int n) {
  std::string node = root_dir() + devnode(n);
  std::rename((node + ".gone").c_str(), node.c_str());
  chmod(node.c_str(), 0644);
}

std::string MockUsb::root_dir() const {
  gchar *root = umockdev_testbed_get_root_dir(impl_->testbed);
  std::string out = root;
  g_free(root);
  return out;
}

std::string MockUsb::devnode(int n) const {
  return format("/dev/bus/usb/001/%03d", impl_->slot(n).look.devnum);
}

// Capabilities are per thread: only the calling thread loses the override.
NoFileOverride::NoFileOverride() {
  __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct data[2] = {};
  if (syscall(SYS_capget, &header, data) != 0) return;
  saved_[0] = data[0].effective;
  saved_[1] = data[1].effective;
  const uint32_t mask = 1u << CAP_DAC_OVERRIDE | 1u << CAP_DAC_READ_SEARCH;
  if ((data[0].effective & mask) == 0) return;
  data[0].effective &= ~mask;
  changed_ = syscall(SYS_capset, &header, data) == 0;
}

NoFileOverride::~NoFileOverride() {
  if (!changed_) return;
  __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct data[2] = {};
  if (syscall(SYS_capget, &header, data) != 0) return;
  data[0].effective = saved_[0];
  data[1].effective = saved_[1];
  syscall(SYS_capset, &header, data);
}

// The preload library may come through LD_PRELOAD or be linked in: look for it among the
// loaded objects rather than in the environment.
bool preload_active() {
  bool found = false;
  dl_iterate_phdr(
      [](dl_phdr_info *info, size_t, void *data) {
        if (info->dlpi_name != nullptr && std::strstr(info->dlpi_name, "libumockdev-preload")) {
          *static_cast<bool *>(data) = true;
        }
        return 0;
      },
      &found);
  return found;
}

// Set by the build: the preload library, after the sanitizer runtime in a sanitizer build.
std::string child_preload() { return USBMOCK_CHILD_PRELOAD; }

}  // namespace usbmock
