// SPDX-License-Identifier: Apache-2.0
// Device search rules and the EVK probe test.
#include <stdlib.h>

#include "fake_port.h"

namespace {

using fake::Interface;
using fake::Reply;
using fake::Request;

const char kMaker[] = "usb\\vid_3a7e&pid_5a32\\7&1";
const char kOther[] = "usb\\vid_04b8&pid_0005\\5&2";

class DeviceSearch : public fake::PortTest {
 protected:
  Interface maker(uint32_t identity = 0x4715, const char *path = kMaker) {
    Interface it;
    it.path = path;
    it.identity = identity;
    return it;
  }
};

TEST_F(DeviceSearch, OtherVendorIsSkippedUnopenedAndMakerFound) {
  fake().interfaces = {Interface{kOther}, maker()};
  dn_handle_t h = GetPrintDeviceHandle(0xffff);
  EXPECT_NE(h, 0u);
  // A real device's handle never claims to be simulated, and a forged flag reaches nothing.
  EXPECT_EQ(h & DN_HANDLE_SIMULATED, 0u);
  uint32_t byte = 0;
  EXPECT_EQ(ReadUSBReg(h | DN_HANDLE_SIMULATED, 0x7e, &byte), 0);
  ASSERT_EQ(fake().opened.size(), 1u);
  EXPECT_EQ(fake().opened[0], kMaker);
  // Identity probe: a retrying read of 4 bytes at 0x7e, short layout.
  ASSERT_EQ(log().size(), 1u);
  EXPECT_EQ(fake::to_hex(fake::Bytes(log()[0].input.begin(), log()[0].input.begin() + 4)), "02007e00");
  EXPECT_EQ(log()[0].out_size, 12u);
}

TEST_F(DeviceSearch, FailedDriverKeyOrDetailEndsTheSearch) {
  Interface broken{kOther};
  broken.key_fails = true;
  fake().interfaces = {broken, maker()};
  EXPECT_EQ(GetPrintDeviceHandle(0xffff), 0u);
  fake().interfaces[0] = Interface{kMaker};
  fake().interfaces[0].detail_fails = true;
  EXPECT_EQ(GetPrintDeviceHandle2(0xffff), 0u);
  EXPECT_TRUE(fake().opened.empty());
}

TEST_F(DeviceSearch, UnopenableUpperCaseAndOverlongPathsAreSkipped) {
  Interface busy = maker();
  busy.open_fails = true;
  fake().interfaces = {busy, maker(0x4715, "USB\\VID_3A7E&PID_5A32\\1"),
                       maker(0x4715, (std::string(2040, 'x') + kMaker).c_str()), maker(0x1)};
  fake().interfaces[0].path += "busy";
  EXPECT_NE(GetPrintDeviceHandle(0xffff), 0u);
  ASSERT_EQ(fake().opened.size(), 1u);
  EXPECT_EQ(fake().opened[0], fake().interfaces[3].path);
}

// The path buffer holds 2047 characters and the terminator: a path of 2048 would be cut short
// and is skipped, never matched on what is left of it.
TEST_F(DeviceSearch, PathOfTheBuffersLengthIsTheFirstSkipped) {
  const std::string tail = "\\vid_3a7e&pid_5a32";
  for (size_t length : {2047, 2048}) {
    fake().interfaces = {maker(0x4715, (std::string(length - tail.size(), 'x') + tail).c_str())};
    fake().tried.clear();
    EXPECT_EQ(GetPrintDeviceHandle(0xffff) != 0, length < 2048) << length;
    EXPECT_EQ(fake().tried.size(), length < 2048 ? 1u : 0u) << length;
  }
}

TEST_F(DeviceSearch, WantedIdMatchesLowSixteenBitsAgainstWholeIdentityWord) {
  fake().interfaces = {maker(0x00014715, "a\\vid_3a7e&pid_0001"), maker(0x4715, "b\\vid_3a7e&pid_0002")};
  EXPECT_NE(GetPrintDeviceHandle(0x4715), 0u);
  EXPECT_EQ(fake().opened.back(), "b\\vid_3a7e&pid_0002");
  EXPECT_EQ(fake().closed, 1);  // the rejected device is not left open
  EXPECT_NE(GetPrintDeviceHandle2(0x70004715), 0u);
  EXPECT_EQ(fake().opened.back(), "b\\vid_3a7e&pid_0002");
  EXPECT_EQ(GetPrintDeviceHandle(0x4716), 0u);
  // 0x1ffff is "any device", like 0xffff.
  fake().opened.clear();
  EXPECT_NE(GetPrintDeviceHandle(0x1ffff), 0u);
  EXPECT_EQ(fake().opened.size(), 1u);
}

TEST_F(DeviceSearch, FailedIdentityReadLeavesZero) {
  fake().interfaces = {maker(0x4715)};
  fake().interfaces[0].identity_fails = true;
  EXPECT_NE(GetPrintDeviceHandle(0xffff), 0u);
  EXPECT_NE(GetPrintDeviceHandle(0), 0u);
  EXPECT_EQ(GetPrintDeviceHandle(0x4715), 0u);
}

TEST_F(DeviceSearch, BothVariantsGiveTwoHandlesOnOneDevice) {
  fake().interfaces = {maker()};
  dn_handle_t first = GetPrintDeviceHandle(0xffff);
  dn_handle_t second = GetPrintDeviceHandle2(0xffff);
  EXPECT_NE(first, 0u);
  EXPECT_NE(second, 0u);
  EXPECT_NE(first, second);
  EXPECT_EQ(fake().opened.size(), 2u);
  EXPECT_EQ(fake::to_hex(fake::Bytes(log()[1].input.begin(), log()[1].input.begin() + 3)), "807e00");
}

TEST_F(DeviceSearch, EvkProbeTestLooksAtUpperHalfOfProbeIdWord) {
  dn_handle_t h = open_device();
  const uint32_t words[] = {0x08180000, 0x0818ffff, 0x08190000, 0x00080818};
  const int expected[] = {4, 4, 0, 0};
  for (int i = 0; i < 4; ++i) {
    for (int b = 0; b < 4; ++b) fake().memory[0x7c + b] = static_cast<unsigned char>(words[i] >> (8 * b));
    EXPECT_EQ(IsEVKDevice(h), expected[i]) << std::hex << words[i];
    EXPECT_EQ(IsEVKDevice2(h), expected[i]) << std::hex << words[i];
  }
  EXPECT_EQ(log().back().out_size, 12u);
  fake().on_read = [](const Request &) { return Reply{true, {0x00, 0x00, 0x18}}; };  // short reply
  EXPECT_EQ(IsEVKDevice(h), 0);
}

// DNUSB_DEVICE: the selected device alone is opened, by path, location or serial (any
// case); a serial is read only when the location did not decide; no match is no device.
TEST_F(DeviceSearch, DeviceSelectorOpensOnlyTheSelectedDevice) {
  struct Case {
    const char *selector;
    const char *opened;  // nullptr: no device
    int serial_reads;
  };
  const Case cases[] = {
      {"b\\vid_3a7e&pid_0002", "b\\vid_3a7e&pid_0002", 1},
      {"1-4.2", "b\\vid_3a7e&pid_0002", 1},
      {"SN-B", "b\\vid_3a7e&pid_0002", 2},
      {"sn-b", "b\\vid_3a7e&pid_0002", 2},
      {"1-4", nullptr, 3},
      {"", "a\\vid_3a7e&pid_0001", 0},  // empty: as if unset
  };
  for (const Case &c : cases) {
    fake().interfaces = {maker(0x4715, "a\\vid_3a7e&pid_0001"), maker(0x4715, kOther),
                         maker(0x4715, "b\\vid_3a7e&pid_0002"), maker(0x4715, "c\\vid_3a7e&pid_0003")};
    fake().serials = {"SN-A", "", "SN-B"};
    fake().locations = {"1-4.1", "1-5", "1-4.2"};
    fake().opened.clear();
    fake().serial_reads = 0;
    setenv("DNUSB_DEVICE", c.selector, 1);
    dn_handle_t h = GetPrintDeviceHandle(0x4715);
    unsetenv("DNUSB_DEVICE");
    if (c.opened == nullptr) {
      EXPECT_EQ(h, 0u) << c.selector;
      EXPECT_TRUE(fake().opened.empty()) << c.selector;
    } else {
      EXPECT_NE(h, 0u) << c.selector;
      EXPECT_EQ(fake().opened, std::vector<std::string>{c.opened}) << c.selector;
    }
    EXPECT_EQ(fake().serial_reads, c.serial_reads) << c.selector;
  }
}

}  // namespace
