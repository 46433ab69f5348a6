// SPDX-License-Identifier: Apache-2.0
// The libusb port when the device or the system says no: each failure ends as the library's
// failure result (a 0 count, no handle), never a hang or a crash, and dnusb-list names the
// cause.
#include <gtest/gtest.h>
#include <libusb.h>

#include <cerrno>
#include <chrono>
#include <string>

#include "bus_fixture.h"
#include "dnusb.h"
#include "run_child.h"

namespace usbmock {
namespace {

std::string lister() { return std::string(USBMOCK_BIN_DIR) + "/dnusb-list"; }

const char kZk32Path[] = "usb:1-3:1.0\\vid_3a7e&pid_0032";

class PortFailure : public EmulatedBus {
 protected:
  dn_handle_t open_device() {
    dn_handle_t h = keep(GetPrintDeviceHandle(0xffff));
    EXPECT_NE(h, 0u);
    bus().clear_transfers(kZk32);
    return h;
  }
  void arm(const Faults &f) { bus().set_faults(kZk32, f); }
};

TEST_F(PortFailure, StalledTransferGivesZeroAndTheNextOneWorks) {
  dn_handle_t h = open_device();
  ctl("mem-write target 100 0a0b0c0d");
  unsigned char buf[4] = {};
  Faults stall;
  stall.stall_controls = 1;
  arm(stall);
  EXPECT_EQ(ReadUSBMem(h, 0x100, buf, 4, 0, 1024), 0);
  arm(stall);
  EXPECT_EQ(WriteUSBMem(h, 0x100, buf, 4, 0, 1024), 0);
  EXPECT_EQ(ctl("mem-read target 100 4"), "0a0b0c0d") << "a stalled write changed memory";
  EXPECT_EQ(ReadUSBMem(h, 0x100, buf, 4, 0, 1024), 4);
  EXPECT_EQ(to_hex({buf, buf + 4}), "0a0b0c0d");
  ASSERT_EQ(bus().transfers(kZk32).size(), 3u);
  EXPECT_EQ(bus().transfers(kZk32)[0].status, -EPIPE);

  // The retrying read takes a stall as an attempt without a reply and tries again.
  arm(stall);
  unsigned char again[4] = {};
  EXPECT_EQ(ReadUSBMemCheck(h, 0x100, again, 4, 0, 1024), 4);
  EXPECT_EQ(to_hex({again, again + 4}), "0a0b0c0d");
}

TEST_F(PortFailure, TransferWithoutAnswerTimesOutAndIsCancelled) {
  dn_handle_t h = open_device();
  Faults hang;
  hang.hang_controls = 1;
  arm(hang);
  unsigned char data[4] = {1, 2, 3, 4};
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(WriteUSBMem(h, 0x100, data, 4, 0, 1024), 0);
  auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now() - start);
  EXPECT_GE(waited.count(), 900) << "the transfer did not wait for the device";
  // The cancelled URB is gone: the next transfer gets its own answer.
  EXPECT_EQ(WriteUSBMem(h, 0x100, data, 4, 0, 1024), 4);
  EXPECT_EQ(ctl("mem-read target 100 4"), "01020304");
}

// A device with nothing on its data-in stream NAKs the bulk read; the port's time-out makes that
// an empty read, not a failure.
TEST_F(PortFailure, SilentDataStreamIsAnEmptyRead) {
  dn_handle_t h = open_device();
  Faults naks;
  naks.nak_empty_bulk = true;
  arm(naks);
  unsigned char buf[2048];
  EXPECT_EQ(ReadUartMem(h, buf), 0);
  ctl("uart-send 6f6b");
  EXPECT_EQ(ReadUartMem(h, buf), 2);
}

TEST_F(PortFailure, DeviceUnpluggedWhileOpenFailsEveryTransferAtOnce) {
  dn_handle_t h = open_device();
  Faults gone;
  gone.unplugged = true;
  arm(gone);
  unsigned char buf[16] = {};
  EXPECT_EQ(ReadMem(h, 0x100, buf, 16, 1), 0);
  EXPECT_EQ(WriteMem(h, 0x100, buf, 16, 1), 0);
  EXPECT_EQ(ReadUartMem(h, buf), -1);
}

// A long-running reader (orvane-monitor) searches again after the device went away; the
// search must open the device afresh, never hand out the dead shared handle again.
TEST_F(PortFailure, SearchAfterTheDeviceWentAwayDoesNotShareTheDeadHandle) {
  dn_handle_t h = open_device();
  Faults gone;
  gone.unplugged = true;
  arm(gone);
  unsigned char buf[2048];
  ASSERT_EQ(ReadUartMem(h, buf), -1);
  EXPECT_EQ(keep(GetPrintDeviceHandle(0xffff)), 0u);
}

TEST_F(PortFailure, NodeGoneBetweenEnumerationAndOpen) {
  bus().remove_node(kZk32);  // sysfs and udev still list the device
  EXPECT_EQ(GetPrintDeviceHandle(0xffff), 0u);
  ChildResult list = run_child({lister()}, ChildOptions());
  EXPECT_EQ(list.out, std::string(kZk32Path) + "\n    cannot open: device gone\n    selector 1-3, serial none\n");
  EXPECT_EQ(list.exit_code, 1);
}

// Another program holds the interface through its own open file.
TEST_F(PortFailure, InterfaceHeldElsewhereIsBusy) {
  libusb_context *other = nullptr;
  ASSERT_EQ(libusb_init(&other), 0);
  libusb_device_handle *holder = libusb_open_device_with_vid_pid(other, 0x3a7e, 0x0032);
  ASSERT_NE(holder, nullptr);
  libusb_set_auto_detach_kernel_driver(holder, 1);
  ASSERT_EQ(libusb_claim_interface(holder, 0), 0);

  EXPECT_EQ(GetPrintDeviceHandle(0xffff), 0u);
  EXPECT_EQ(GetPrintDeviceHandle2(0xffff), 0u);
  ChildResult list = run_child({lister()}, ChildOptions());
  EXPECT_EQ(list.out, std::string(kZk32Path) +
                          "\n    cannot open: device busy (claimed by another program)\n"
                              "    selector 1-3, serial 0001\n");
  EXPECT_EQ(list.exit_code, 1);
  libusb_close(holder);
  libusb_exit(other);
}

TEST_F(PortFailure, NodeWithoutWritePermission) {
  bus().make_node_unwritable(kZk32);
  {
    NoFileOverride as_user;
    EXPECT_EQ(GetPrintDeviceHandle(0xffff), 0u);
  }
  ChildOptions as_user;
  as_user.without_file_override = true;
  ChildResult list = run_child({lister()}, as_user);
  EXPECT_EQ(list.out.rfind(std::string(kZk32Path) + "\n    cannot open: permission denied\n", 0),
            0u)
      << list.out;
  EXPECT_NE(list.out.find("udev rule"), std::string::npos) << list.out;
  EXPECT_EQ(list.exit_code, 1);
}

TEST_F(PortFailure, ListerReportsADeviceThatStallsEveryRequest) {
  Faults stall;
  stall.stall_controls = 1000;
  arm(stall);
  ChildResult list = run_child({lister()}, ChildOptions());
  EXPECT_EQ(list.out, std::string(kZk32Path) + "\n    identity unreadable, target chip\n"
                               "    selector 1-3, serial none\n");
  EXPECT_EQ(list.exit_code, 0);
}

TEST_F(PortFailure, ListerShowsAWorkingDevice) {
  ChildResult list = run_child({lister()}, ChildOptions());
  EXPECT_EQ(list.out, std::string(kZk32Path) + "\n    identity 0x00004710 (chip 4710), target chip\n"
                               "    selector 1-3, serial 0001\n");
  EXPECT_EQ(list.exit_code, 0);
  EXPECT_EQ(list.err, "");
}

}  // namespace
}  // namespace usbmock
