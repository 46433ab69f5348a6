// SPDX-License-Identifier: Apache-2.0
// dnusb's exports through the libusb port, down to the setup packets on the emulated bus.
#include <gtest/gtest.h>

#include <string>
#include <algorithm>
#include <vector>

#include <stdlib.h>

#include "bus_fixture.h"
#include "dnusb.h"
#include "port.h"

namespace usbmock {
namespace {

std::vector<uint8_t> pattern(size_t n, uint8_t seed) {
  std::vector<uint8_t> out(n);
  for (size_t i = 0; i < n; ++i) out[i] = static_cast<uint8_t>(seed + i * 7 + (i >> 8));
  return out;
}

// The request header of a short-layout write at address (no fixed flag) and its data.
std::vector<uint8_t> short_write_request(uint32_t address, const uint8_t *data, size_t n) {
  std::vector<uint8_t> req(8 + n, data[0]);
  req[0] = 0x02;
  req[1] = static_cast<uint8_t>(address >> 8);
  req[2] = static_cast<uint8_t>(address & 0xff);
  std::copy(data, data + n, req.begin() + 8);
  return req;
}

using DeviceSearch = EmulatedBus;

TEST_F(DeviceSearch, FindsTheMakersDeviceProbesItsIdentityAndSkipsOtherPrinters) {
  dn_handle_t h = keep(GetPrintDeviceHandle(0xffff));
  ASSERT_NE(h, 0u);
  EXPECT_EQ(bus().opens(kOtherVendor), 0) << "a printer of another maker was opened";
  EXPECT_TRUE(bus().claimed(kZk32));
  EXPECT_FALSE(bus().kernel_driver_bound(kZk32)) << "the printer driver must be detached";

  // The identity probe: a vendor read of 4 bytes at 0x7e, short layout, offering 4 + 8.
  std::vector<Transfer> reads = controls(0xC1);
  ASSERT_FALSE(reads.empty());
  EXPECT_EQ(reads[0].request, 0x02);
  EXPECT_EQ(reads[0].value, 0x007e);
  EXPECT_EQ(reads[0].index, 0x0000);  // interface 0, alternate setting 0
  EXPECT_EQ(reads[0].length, 12);
}

TEST_F(DeviceSearch, LongLayoutProbeAndWantedIdentity) {
  // Chip bytes 0x7e..0x81 as the little-endian identity word the search compares.
  std::string hex = ctl("mem-read target 7e 4");
  uint32_t identity = static_cast<uint32_t>(std::stoul(hex.substr(6, 2) + hex.substr(4, 2) +
                                                       hex.substr(2, 2) + hex.substr(0, 2),
                                                       nullptr, 16));
  ASSERT_LT(identity, 0x10000u) << "the model's identity should fit the 16-bit wanted id";

  dn_handle_t h2 = GetPrintDeviceHandle2(0xffff);
  ASSERT_NE(h2, 0u);
  std::vector<Transfer> reads = controls(0xC1);
  ASSERT_FALSE(reads.empty());
  EXPECT_EQ(reads[0].request, 0x80);    // long layout: 0x80 | address bits 21..16
  EXPECT_EQ(reads[0].value, 0x7e00);    // then bits 7..0, then bits 15..8
  dn_handle_close(h2);
  ASSERT_TRUE(bus().wait_released(kZk32));

  dn_handle_t exact = GetPrintDeviceHandle(identity);
  EXPECT_NE(exact, 0u);
  dn_handle_close(exact);
  ASSERT_TRUE(bus().wait_released(kZk32));
  // A device whose identity differs is opened, probed, and let go again.
  EXPECT_EQ(GetPrintDeviceHandle(identity ^ 1), 0u);
  EXPECT_TRUE(bus().wait_released(kZk32)) << "the rejected device is still held";
}

// DNUSB_DEVICE on the libusb port: the device answers to its bus and port chain and to the
// serial its string descriptor reports; the location of another device selects nothing, and
// nothing is opened for it.
TEST_F(DeviceSearch, DeviceSelectorByLocationOrSerial) {
  struct Case {
    const char *selector;
    bool found;
  };
  for (const Case &c : {Case{"1-3", true}, Case{"0001", true}, Case{"1-2", false},
                        Case{"1-3.1", false}}) {
    setenv("DNUSB_DEVICE", c.selector, 1);
    dn_handle_t h = GetPrintDeviceHandle(0xffff);
    unsetenv("DNUSB_DEVICE");
    EXPECT_EQ(h != 0, c.found) << c.selector;
    EXPECT_EQ(bus().claimed(kZk32), c.found) << c.selector;
    if (h != 0) {
      dn_handle_close(h);
      ASSERT_TRUE(bus().wait_released(kZk32));
    }
  }
  EXPECT_EQ(bus().opens(kOtherVendor), 0);
}

// The program opens the device through both searches and uses both handles; on Windows two
// opens of one printer share the device.
TEST_F(DeviceSearch, BothSearchesYieldWorkingHandlesOnOneDevice) {
  dn_handle_t h1 = keep(GetPrintDeviceHandle(0xffff));
  dn_handle_t h2 = keep(GetPrintDeviceHandle2(0xffff));
  ASSERT_NE(h1, 0u);
  ASSERT_NE(h2, 0u) << "the second open of the same device failed: usbfs lets one open file "
                       "claim the interface, so the libusb port must share one claimed "
                       "libusb handle between the opens of one device path";
  uint8_t data[4] = {1, 2, 3, 4}, back[4] = {};
  EXPECT_EQ(WriteMem(h1, 0x8100, data, 4, 1), 4);
  EXPECT_EQ(ReadMem2(h2, 0x8100, back, 4, 1), 4);
  EXPECT_EQ(to_hex({back, back + 4}), "01020304");
}

using DirectRoute = EmulatedBus;

TEST_F(DirectRoute, WriteGoesInChunksWithTheWholeRequestAsDataStage) {
  dn_handle_t h = keep(GetPrintDeviceHandle(0xffff));
  ASSERT_NE(h, 0u);
  bus().clear_transfers(kZk32);
  std::vector<uint8_t> data = pattern(2500, 0x31);
  ASSERT_EQ(WriteMem(h, 0x8000, data.data(), 2500, 1), 2500);

  std::vector<Transfer> writes = controls(0x41);
  ASSERT_EQ(writes.size(), 3u);
  const uint32_t starts[] = {0x8000, 0x8400, 0x8800};
  const size_t sizes[] = {1024, 1024, 452};
  for (size_t i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    const uint8_t *chunk = data.data() + (starts[i] - 0x8000);
    EXPECT_EQ(writes[i].request, 0x02);
    EXPECT_EQ(writes[i].value, starts[i]);
    EXPECT_EQ(writes[i].index, 0x0000);
    EXPECT_EQ(writes[i].length, sizes[i] + 8);
    EXPECT_EQ(writes[i].data, short_write_request(starts[i], chunk, sizes[i]));
  }
  // Every chunk above 8 bytes is read back.
  std::vector<Transfer> reads = controls(0xC1);
  ASSERT_EQ(reads.size(), 3u);
  EXPECT_EQ(reads[2].value, 0x8800);
  EXPECT_EQ(reads[2].length, 452 + 8);
  EXPECT_EQ(ctl("mem-read target 8000 9c4"), to_hex(data));
}

TEST_F(DirectRoute, ReadGoesInChunksOf3072) {
  dn_handle_t h = keep(GetPrintDeviceHandle(0xffff));
  ASSERT_NE(h, 0u);
  std::vector<uint8_t> data = pattern(7000, 0x52);
  ctl("mem-write target 8000 " + to_hex(data));
  bus().clear_transfers(kZk32);
  std::vector<uint8_t> back(7000);
  ASSERT_EQ(ReadMem(h, 0x8000, back.data(), 7000, 1), 7000);
  EXPECT_EQ(back, data);
  std::vector<Transfer> reads = controls(0xC1);
  ASSERT_EQ(reads.size(), 3u);
  EXPECT_EQ(reads[0].length, 3072 + 8);
  EXPECT_EQ(reads[1].value, 0x8c00);
  EXPECT_EQ(reads[2].length, 856 + 8);
}

// A device that answers a read in short pieces: the port hands each short reply up as it came,
// and the retrying read asks again for the rest at the advanced address.
TEST_F(DirectRoute, ShortRepliesAreResumedByTheRetryingRead) {
  dn_handle_t h = keep(GetPrintDeviceHandle(0xffff));
  ASSERT_NE(h, 0u);
  std::vector<uint8_t> data = pattern(16, 0x40);
  ctl("mem-write target 100 " + to_hex(data));
  ctl("fault pieces a");  // control-language numbers are hex
  bus().clear_transfers(kZk32);
  std::vector<uint8_t> back(16);
  ASSERT_EQ(ReadUSBMemCheck(h, 0x100, back.data(), 16, 0, 3072), 16);
  EXPECT_EQ(back, data);
  std::vector<Transfer> reads = controls(0xC1);
  ASSERT_EQ(reads.size(), 2u);
  EXPECT_EQ(reads[0].length, 24);
  EXPECT_EQ(reads[0].data.size(), 10u);
  EXPECT_EQ(reads[1].value, 0x010a);
  EXPECT_EQ(reads[1].length, 14);
}

TEST_F(DirectRoute, LongLayoutReachesSramAbove64K) {
  use_model("usb", 3);
  dn_handle_t h = keep(GetPrintDeviceHandle2(0xffff));
  ASSERT_NE(h, 0u);
  bus().clear_transfers(kZk32);
  std::vector<uint8_t> data = pattern(16, 0x10);
  ASSERT_EQ(WriteMem2(h, 0x40004, data.data(), 16, 1), 16);
  std::vector<Transfer> writes = controls(0x41);
  ASSERT_EQ(writes.size(), 1u);
  EXPECT_EQ(writes[0].request, 0x84);
  EXPECT_EQ(writes[0].value, 0x0400);
  EXPECT_EQ(writes[0].length, 24);
  EXPECT_EQ(ctl("mem-read target 40004 10"), to_hex(data));
  std::vector<uint8_t> back(16);
  EXPECT_EQ(ReadMem2(h, 0x40004, back.data(), 16, 1), 16);
  EXPECT_EQ(back, data);
}

TEST_F(DirectRoute, UartStreamIsABulkInTransfer) {
  dn_handle_t h = keep(GetPrintDeviceHandle(0xffff));
  ASSERT_NE(h, 0u);
  ctl("uart-send 48656c6c6f0a");
  unsigned char buf[2048];
  ASSERT_EQ(ReadUartMem(h, buf), 6);
  EXPECT_EQ(std::string(reinterpret_cast<char *>(buf), 6), "Hello\n");
  std::vector<Transfer> all = bus().transfers(kZk32);
  ASSERT_FALSE(all.empty());
  EXPECT_FALSE(all.back().control);
  EXPECT_EQ(all.back().endpoint, 0x81);
  EXPECT_EQ(ReadUartMem(h, buf), 0) << "nothing queued is an empty read";
}

class EvkRoute : public EmulatedBus {
 protected:
  void SetUp() override {
    EmulatedBus::SetUp();
    if (IsSkipped()) return;
    use_model("evk", 1);
    h_ = keep(GetPrintDeviceHandle(0xffff));
    ASSERT_NE(h_, 0u);
    bus().clear_transfers(kZk32);
  }
  dn_handle_t h_ = 0;
};

TEST_F(EvkRoute, ProbeIsRecognisedByItsIdWord) {
  EXPECT_EQ(IsEVKDevice(h_), 4);
  std::vector<Transfer> reads = controls(0xC1);
  ASSERT_EQ(reads.size(), 1u);
  EXPECT_EQ(reads[0].value, 0x007c);
  EXPECT_EQ(reads[0].length, 12);
}

TEST_F(EvkRoute, WriteStagesTheDataThenPostsTheCommandBlock) {
  std::vector<uint8_t> data = pattern(100, 0x77);
  ASSERT_EQ(WriteMem(h_, 0x8010, data.data(), 100, 4), 100);
  std::vector<Transfer> writes = controls(0x41);
  ASSERT_GE(writes.size(), 2u);
  EXPECT_EQ(writes[0].value, 0xa000);
  EXPECT_EQ(writes[0].data, short_write_request(0xa000, data.data(), 100));
  // Command word 0 = 0x8010, command word 1 = 0x4100 << 16 | 100.
  EXPECT_EQ(writes[1].value, 0x9ff8);
  EXPECT_EQ(to_hex(writes[1].data), "029ff810101010101080000064000041");
  EXPECT_EQ(ctl("mem-read target 8010 64"), to_hex(data));

  std::vector<uint8_t> back(100);
  EXPECT_EQ(ReadMem(h_, 0x8010, back.data(), 100, 4), 100);
  EXPECT_EQ(back, data);
}

// The suffix-2 exports speak the long layout to the probe as well.
TEST_F(EvkRoute, LongLayoutMailboxTraffic) {
  use_model("evk", 3);  // a type-3 target behind the probe, on the handle already open
  const uint8_t byte = 0x5a;
  ASSERT_EQ(WriteMem2(h_, 0x40004, &byte, 1, 4), 1);
  std::vector<Transfer> writes = controls(0x41);
  ASSERT_EQ(writes.size(), 2u);
  EXPECT_EQ(writes[0].request, 0x80);
  EXPECT_EQ(writes[0].value, 0x00a0);
  EXPECT_EQ(to_hex(writes[0].data), "8000a05a5a5a5a5a5a");
  EXPECT_EQ(writes[1].value, 0xf89f);
  EXPECT_EQ(to_hex(writes[1].data), "80f89f04040404040400040001000041");
  EXPECT_EQ(ctl("mem-read target 40004 1"), "5a");
}

TEST_F(EvkRoute, CommandReturnsItsCountAndTheStatusWord) {
  uint32_t status = 0xdeadbeef;
  EXPECT_EQ(EVKCommand(h_, 0, 1, 0x0700, nullptr, &status), 1);
  EXPECT_NE(status, 0xdeadbeefu) << "the probe status word is stored on success";
}

}  // namespace
}  // namespace usbmock
