// SPDX-License-Identifier: Apache-2.0
// The simulator's device model as the backend of an emulated USB device: the same code that
// answers zk32-sim's socket answers the usbfs requests of the emulated bus.
#ifndef ORVANE_TESTS_USBMOCK_MODEL_BACKEND_H
#define ORVANE_TESTS_USBMOCK_MODEL_BACKEND_H

#include <memory>
#include <mutex>
#include <string>

#include "sim/device_model.h"
#include "mock_usb.h"

namespace usbmock {

class ModelBackend : public Backend {
 public:
  explicit ModelBackend(const zk32sim::Options &options)
      : device_(zk32sim::Device::create(options)) {}

  int control(uint8_t request_type, uint8_t request, uint16_t value, uint16_t index,
              uint16_t length, const uint8_t *out_data, uint8_t *in_data) override {
    std::lock_guard<std::mutex> guard(lock_);
    zk32sim::SetupPacket setup{request_type, request, value, index, length};
    return device_->control(setup, out_data, out_data ? length : 0, in_data);
  }
  int bulk_in(uint8_t *buffer, size_t max) override {
    std::lock_guard<std::mutex> guard(lock_);
    return device_->bulk_in(buffer, max);
  }
  // One line of the simulator's control language (from the test thread).
  std::string command(const std::string &line, bool *ok = nullptr) {
    std::lock_guard<std::mutex> guard(lock_);
    bool dummy = false;
    return device_->command(line, ok ? ok : &dummy);
  }

 private:
  std::mutex lock_;
  std::unique_ptr<zk32sim::Device> device_;
};

}  // namespace usbmock

#endif
