// SPDX-License-Identifier: Apache-2.0
#include "sim/device_model.h"

#include "sim/device_state.h"

namespace zk32sim {

std::unique_ptr<Device> Device::create(const Options &options) {
  if (options.mode != "usb" && options.mode != "evk") return nullptr;
  if (options.mcu_type < 1 || options.mcu_type > 4) return nullptr;
  // Whole 4 KB sectors, at most the 16 MB that three address bytes reach.
  if (options.flash_size < 4096 || options.flash_size % 4096 != 0 ||
      options.flash_size > (16u << 20)) {
    return nullptr;
  }
  std::unique_ptr<DeviceState> state(new DeviceState(options));
  return std::unique_ptr<Device>(new Device(std::move(state)));
}

Device::Device(std::unique_ptr<DeviceState> state) : state_(std::move(state)) {}
Device::~Device() = default;

int Device::control(const SetupPacket &setup, const uint8_t *out_data, size_t out_len,
                    uint8_t *in_data) {
  return state_->control(setup, out_data, out_len, in_data);
}

int Device::bulk_in(uint8_t *buffer, size_t max) { return state_->bulk_in(buffer, max); }

std::string Device::command(const std::string &line, bool *ok) {
  bool dummy;
  return state_->command(line, ok ? ok : &dummy);
}

bool Device::vanished() const { return state_->vanished(); }

}  // namespace zk32sim
