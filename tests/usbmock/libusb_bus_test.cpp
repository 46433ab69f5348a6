// SPDX-License-Identifier: Apache-2.0
// The emulated bus itself, seen through plain libusb: what dnusb's port relies on from the
// Linux backend before any dnusb code runs.
#include <gtest/gtest.h>
#include <libusb.h>

#include "bus_fixture.h"

namespace usbmock {
namespace {

class PlainLibusb : public EmulatedBus {
 protected:
  void SetUp() override {
    EmulatedBus::SetUp();
    if (IsSkipped()) return;
    ASSERT_EQ(libusb_init(&ctx_), 0);
  }
  void TearDown() override {
    if (ctx_ != nullptr) libusb_exit(ctx_);
    EmulatedBus::TearDown();
  }
  libusb_device_handle *open_zk32() {
    return libusb_open_device_with_vid_pid(ctx_, 0x3a7e, 0x0032);
  }
  libusb_context *ctx_ = nullptr;
};

TEST_F(PlainLibusb, DeviceShowsOnePrinterInterfaceWithBulkIn) {
  libusb_device_handle *h = open_zk32();
  ASSERT_NE(h, nullptr);
  libusb_config_descriptor *config = nullptr;
  ASSERT_EQ(libusb_get_active_config_descriptor(libusb_get_device(h), &config), 0);
  ASSERT_EQ(config->bNumInterfaces, 1);
  const libusb_interface_descriptor &alt = config->interface[0].altsetting[0];
  EXPECT_EQ(alt.bInterfaceClass, 7);
  bool bulk_in = false;
  for (int e = 0; e < alt.bNumEndpoints; ++e) {
    bulk_in |= alt.endpoint[e].bEndpointAddress == 0x81 &&
               (alt.endpoint[e].bmAttributes & 3) == LIBUSB_TRANSFER_TYPE_BULK;
  }
  EXPECT_TRUE(bulk_in);
  libusb_free_config_descriptor(config);
  libusb_close(h);
}

TEST_F(PlainLibusb, ControlTransfersReachTheModelWithTheirSetupPackets) {
  libusb_device_handle *h = open_zk32();
  ASSERT_NE(h, nullptr);
  libusb_set_auto_detach_kernel_driver(h, 1);
  ASSERT_EQ(libusb_claim_interface(h, 0), 0);
  EXPECT_FALSE(bus().kernel_driver_bound(kZk32));
  ctl("mem-write target 100 a1b2c3");
  unsigned char out[] = {0x02, 0x01, 0x00, 0x55, 0x55, 0x55, 0x55, 0x55, 0x11, 0x22};
  EXPECT_EQ(libusb_control_transfer(h, 0x41, 0x02, 0x0101, 0x0000, out, sizeof out, 1000), 10);
  unsigned char in[16] = {};
  EXPECT_EQ(libusb_control_transfer(h, 0xC1, 0x02, 0x0100, 0x0000, in, 11, 1000), 3);
  EXPECT_EQ(in[0], 0xa1);
  EXPECT_EQ(ctl("mem-read target 101 2"), "1122");

  std::vector<Transfer> t = bus().transfers(kZk32);
  ASSERT_EQ(t.size(), 2u);
  EXPECT_EQ(t[0].request_type, 0x41);
  EXPECT_EQ(t[0].value, 0x0101);
  EXPECT_EQ(to_hex(t[0].data), "02010055555555551122");
  EXPECT_EQ(t[1].request_type, 0xC1);
  EXPECT_EQ(t[1].length, 11);
  libusb_release_interface(h, 0);
  EXPECT_TRUE(bus().kernel_driver_bound(kZk32));  // handed back to the printer driver
  libusb_close(h);
}

// As in the kernel, one open file holds the interface; a second gets LIBUSB_ERROR_BUSY.
TEST_F(PlainLibusb, SecondOpenCannotClaimTheInterface) {
  libusb_device_handle *a = open_zk32();
  libusb_device_handle *b = open_zk32();
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  libusb_set_auto_detach_kernel_driver(a, 1);
  libusb_set_auto_detach_kernel_driver(b, 1);
  EXPECT_EQ(libusb_claim_interface(a, 0), 0);
  EXPECT_EQ(libusb_claim_interface(b, 0), LIBUSB_ERROR_BUSY);
  libusb_close(a);
  ASSERT_TRUE(bus().wait_released(kZk32));
  EXPECT_EQ(libusb_claim_interface(b, 0), 0);
  libusb_close(b);
}

}  // namespace
}  // namespace usbmock
