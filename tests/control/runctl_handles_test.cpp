// SPDX-License-Identifier: Apache-2.0
// Which handle, export and transfer mode the core operations use, including device
// situations the real library never produces (one handle of the pair missing).
//
// This executable defines the dnusb exports the control code calls, as a recording fake:
// the program's own definitions take precedence over the shared library's, and the
// transcript tests in this executable reach the library only through the separate Orvane
// process, so they are unaffected.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "control/control.h"
#include "dnusb.h"

namespace {

struct fake_usb {
  dn_handle_t first = 0;
  dn_handle_t second = 0;
  bool evk = false;
  unsigned char core_control = 0x88;
  unsigned char pc[4] = {0x34, 0x12, 0, 0};
  std::vector<std::string> calls;
};
fake_usb fake;

std::string transfer(const char *name, dn_handle_t handle, uint32_t address, int mode) {
  char text[64];
  std::snprintf(text, sizeof text, "%s h%u %x", name, handle, address);
  return std::string(text) + " m" + std::to_string(mode);
}

int fake_read(const char *name, dn_handle_t handle, uint32_t address, unsigned char *dest,
              int count, int mode) {
  fake.calls.push_back(transfer(name, handle, address, mode) + " n" + std::to_string(count));
  if (address == 0x602) dest[0] = fake.core_control;
  if (address == 0x6bc)
    for (int i = 0; i < 4; ++i) dest[i] = fake.pc[i];
  return count;
}

int fake_write(const char *name, dn_handle_t handle, uint32_t address, const unsigned char *data,
               int count, int mode) {
  char value[8];
  std::snprintf(value, sizeof value, "%02x", data[0]);
  fake.calls.push_back(transfer(name, handle, address, mode) + " =" + value);
  return count;
}

}  // namespace

extern "C" {
dn_handle_t GetPrintDeviceHandle(uint32_t) {
  fake.calls.push_back("GetPrintDeviceHandle");
  return fake.first;
}
dn_handle_t GetPrintDeviceHandle2(uint32_t) {
  fake.calls.push_back("GetPrintDeviceHandle2");
  return fake.second;
}
int IsEVKDevice(dn_handle_t handle) {
  fake.calls.push_back("IsEVKDevice h" + std::to_string(handle));
  return fake.evk ? 4 : 0;
}
int ReadMem(dn_handle_t h, uint32_t a, unsigned char *d, int n, int m) {
  return fake_read("ReadMem", h, a, d, n, m);
}
int ReadMem2(dn_handle_t h, uint32_t a, unsigned char *d, int n, int m) {
  return fake_read("ReadMem2", h, a, d, n, m);
}
int WriteMem(dn_handle_t h, uint32_t a, const unsigned char *d, int n, int m) {
  return fake_write("WriteMem", h, a, d, n, m);
}
int WriteMem2(dn_handle_t h, uint32_t a, const unsigned char *d, int n, int m) {
  return fake_write("WriteMem2", h, a, d, n, m);
}
}

namespace {

using Calls = std::vector<std::string>;

class CoreHandles : public ::testing::Test {
 protected:
  void SetUp() override { fake = fake_usb{}; }

  template <typename Operation>
  std::string run(Operation operation) {
    ::testing::internal::CaptureStdout();
    operation();
    return ::testing::internal::GetCapturedStdout();
  }
};

const Calls kHandleRequests = {"GetPrintDeviceHandle", "GetPrintDeviceHandle2"};

TEST_F(CoreHandles, UsbFamily34StopsThroughTheSecondHandleWithLongLayoutExports) {
  fake.first = 7;
  fake.second = 9;
  EXPECT_EQ(run([] { stop_mcu(1, 3); }), " Stop MCU, PC is : 0x001234 \t\n");
  EXPECT_EQ(fake.calls, (Calls{"GetPrintDeviceHandle", "GetPrintDeviceHandle2",
                               "ReadMem2 h9 602 m1 n1", "WriteMem2 h9 602 m1 =8a",
                               "ReadMem2 h9 6bc m1 n4"}));
}

TEST_F(CoreHandles, UsbModeWithoutTheHandleOfTheMcuTypeReportsNoUsbDevice) {
  // Family 3/4 with a first handle only, and the other family with a second handle only:
  // no transfer may go to handle 0.
  fake.first = 7;
  EXPECT_EQ(run([] { stop_mcu(1, 4); }), " [48]: no usb device!\n");
  EXPECT_EQ(run([] { reset_mcu(1, 3); }), " [42]: no usb device!\n");
  uint32_t pc = 0x1234;
  EXPECT_EQ(run([&] { EXPECT_EQ(read_pc(1, 3, &pc), msg::no_usb_device_39); }),
            " [39]: no usb device!\n");
  EXPECT_EQ(pc, 0x1234u);
  fake.first = 0;
  fake.second = 9;
  EXPECT_EQ(run([] { step_mcu(1, 1); }), " [51]: no usb device!\n");
  const uint32_t words[4] = {0x1000, 0, 0, 0};
  EXPECT_EQ(run([&] { set_breakpoints(1, 2, words); }), " [54]: no usb device!\n");
  for (const std::string &call : fake.calls)
    EXPECT_EQ(call.compare(0, 14, "GetPrintDevice"), 0) << call;
}

// Usb mode talks to the chip itself: a handle the search marked as an EVK probe ends every
// core operation with 241 before any transfer (no success line, no made-up PC).
TEST_F(CoreHandles, UsbModeOnAnEvkProbeFailsBeforeAnyTransfer) {
  fake.first = 7 | DN_HANDLE_PROBE;
  fake.second = 9 | DN_HANDLE_PROBE;
  const uint32_t words[4] = {0x1000, 0, 0, 0};
  uint32_t pc = 0;
  const std::vector<outcome> ended = {reset_mcu(1, 1), run_mcu(1, 3), stop_mcu(1, 1),
                                      step_mcu(1, 4), set_breakpoints(1, 1, words),
                                      read_pc(1, 1, &pc)};
  for (outcome o : ended) EXPECT_EQ(o, msg::usb_mode_on_probe_241);
  for (const std::string &call : fake.calls)
    EXPECT_EQ(call.compare(0, 14, "GetPrintDevice"), 0) << call;
}

TEST_F(CoreHandles, EvkModeWithOnlyASecondHandleIsNoEvkDevice) {
  fake.second = 9;
  fake.evk = true;
  EXPECT_EQ(run([] { run_mcu(4, 1); }), " [46]: no evk device!\n");
  EXPECT_EQ(fake.calls, kHandleRequests);
}

TEST_F(CoreHandles, OtherModesTransferNothingAndPrintTheFinalLine) {
  fake.first = 7;
  fake.second = 9;
  EXPECT_EQ(run([] { step_mcu(2, 1); }), " Step MCU, PC is : 0x000000 \t\n");
  EXPECT_EQ(run([] { reset_mcu(0, 3); }), " Reset MCU \n");
  uint32_t pc = 0x1234;
  EXPECT_EQ(run([&] { EXPECT_EQ(read_pc(5, 1, &pc), kDone); }), "");
  EXPECT_EQ(pc, 0u);
  EXPECT_EQ(fake.calls.size(), 6u);
}

}  // namespace
