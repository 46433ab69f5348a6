// SPDX-License-Identifier: Apache-2.0
#include "bus_fixture.h"

#include <unistd.h>

#include <cstdlib>

#include "port.h"
#include "run_child.h"

namespace usbmock {

namespace {

// A printer of another maker: it must be skipped without being opened.
class SilentPrinter : public Backend {
 public:
  int control(uint8_t, uint8_t, uint16_t, uint16_t, uint16_t, const uint8_t *,
              uint8_t *) override {
    return -1;
  }
  int bulk_in(uint8_t *, size_t) override { return 0; }
};

MockUsb *bus_instance = nullptr;

class BusEnvironment : public ::testing::Environment {
 public:
  void TearDown() override {
    delete bus_instance;
    bus_instance = nullptr;
    rmdir(empty_sim_dir().c_str());
  }
};

const ::testing::Environment *const registered =
    ::testing::AddGlobalTestEnvironment(new BusEnvironment);

}  // namespace

MockUsb &shared_bus() {
  if (bus_instance == nullptr) {
    // The simulator port must find nothing: every device of these tests comes over USB.
    setenv("ZK32_SIM_DIR", empty_sim_dir().c_str(), 1);
    unsetenv("ZK32_SIM_TCP");
    bus_instance = new MockUsb;
    DeviceLook other;
    other.vendor = 0x1209;
    other.product = 0x0001;
    other.devnum = 2;
    bus_instance->add_device(std::make_unique<SilentPrinter>(), other);
    DeviceLook zk32;
    zk32.devnum = 3;
    zk32sim::Options options;
    bus_instance->add_device(std::make_unique<ModelBackend>(options), zk32);
  }
  return *bus_instance;
}

void EmulatedBus::SetUp() {
  if (!preload_active()) {
    GTEST_SKIP() << "umockdev's preload library is not loaded in this process "
                    "(libumockdev-preload.so): the emulated USB bus is unavailable";
  }
  use_model("usb", 1);
  bus().set_faults(kZk32, Faults());
  bus().clear_transfers(kZk32);
  bus().clear_transfers(kOtherVendor);
  unknown_before_ = bus().unknown_requests(kZk32).size();
}

void EmulatedBus::TearDown() {
  for (dn_handle_t h : handles_) dn_handle_close(h);
  handles_.clear();
  if (bus_instance != nullptr) {
    // An ioctl the emulation does not answer would make this bus differ from a real one.
    std::vector<unsigned long> unknown = bus().unknown_requests(kZk32);
    for (size_t i = unknown_before_; i < unknown.size(); ++i) {
      ADD_FAILURE() << "usbfs request 0x" << std::hex << unknown[i] << " is not emulated";
    }
    bus().set_faults(kZk32, Faults());
    bus().restore_node(kZk32);
  }
}

ModelBackend &EmulatedBus::use_model(const std::string &mode, int mcu_type) {
  zk32sim::Options options;
  options.mode = mode;
  options.mcu_type = mcu_type;
  auto backend = std::make_unique<ModelBackend>(options);
  model_ = backend.get();
  bus().set_backend(kZk32, std::move(backend));
  return *model_;
}

std::string EmulatedBus::ctl(const std::string &line) {
  bool ok = false;
  std::string reply = model_->command(line, &ok);
  EXPECT_TRUE(ok) << "model refused '" << line << "': " << reply;
  return reply;
}

dn_handle_t EmulatedBus::keep(dn_handle_t handle) {
  if (handle != 0) handles_.push_back(handle);
  return handle;
}

std::vector<Transfer> EmulatedBus::controls(uint8_t request_type) const {
  std::vector<Transfer> out;
  for (const Transfer &t : shared_bus().transfers(kZk32)) {
    if (t.control && t.request_type == request_type) out.push_back(t);
  }
  return out;
}

}  // namespace usbmock
