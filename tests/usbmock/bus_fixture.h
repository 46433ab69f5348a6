// SPDX-License-Identifier: Apache-2.0
// The emulated bus shared by every test of this binary, and the fixture that resets it.
//
// dnusb's libusb port keeps one libusb context for the life of the process, and libusb keeps
// its device list from the udev records it saw, so the bus is built once per process: an
// other-vendor printer (device 0) and the ZK32 device (device 1).  Each test puts a fresh
// simulator device model behind device 1 and clears faults and recordings.
#ifndef ORVANE_TESTS_USBMOCK_BUS_FIXTURE_H
#define ORVANE_TESTS_USBMOCK_BUS_FIXTURE_H

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dnusb.h"
#include "mock_usb.h"
#include "model_backend.h"
#include "support/hex_text.h"

namespace usbmock {

constexpr int kOtherVendor = 0;
constexpr int kZk32 = 1;

// The process-wide bus (built on first use).
MockUsb &shared_bus();

class EmulatedBus : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  MockUsb &bus() { return shared_bus(); }
  // A fresh device model behind the ZK32 device ("usb" or "evk", MCU type).
  ModelBackend &use_model(const std::string &mode, int mcu_type);
  ModelBackend &model() { return *model_; }
  // Runs a control-language line on the model; fails the test on an error reply.
  std::string ctl(const std::string &line);

  // Handles opened by the test; closed at teardown, as a process end would.
  dn_handle_t keep(dn_handle_t handle);
  // Control transfers the ZK32 device received with the given bmRequestType.
  std::vector<Transfer> controls(uint8_t request_type) const;

 private:
  ModelBackend *model_ = nullptr;
  size_t unknown_before_ = 0;
  std::vector<dn_handle_t> handles_;
};

using hex_text::to_hex;

}  // namespace usbmock

#endif
