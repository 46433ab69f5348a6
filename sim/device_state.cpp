// SPDX-License-Identifier: Apache-2.0
#include "sim/device_state.h"

#include <cstring>

#include "sim/chip_registers.h"
#include "sim/evk_probe.h"
#include "sim/uart_port.h"

namespace zk32sim {

DeviceState::DeviceState(const Options &options) : options_(options) {
  apply_timing(settings_, options.zero_timing);
  settings_.identity = identity_of_type(options.mcu_type);
  ChipContext context{settings_, faults_, trace_,
                      options.clock ? *options.clock : real_clock()};
  target_.reset(new TargetChip(options.mcu_type, options.flash_size, context));
  if (options.mode == "evk") probe_.reset(new EvkProbe(*target_, context));
}

DeviceState::~DeviceState() = default;

int DeviceState::control(const SetupPacket &setup, const uint8_t *out_data, size_t out_len,
                         uint8_t *in_data) {
  if (faults_.vanished) return -1;
  int result = serve(setup, out_data, out_len, in_data);
  trace_.transfer(setup, out_data, out_len, in_data, result);
  return result;
}

// True when an injected fault makes this request fail; counts the fault down.
bool DeviceState::request_fails(const VendorRequest &r) {
  bool &armed = r.is_write ? faults_.write_fail : faults_.read_fail;
  uint32_t addr = r.is_write ? faults_.write_fail_addr : faults_.read_fail_addr;
  int &count = r.is_write ? faults_.write_fail_count : faults_.read_fail_count;
  if (!armed) return false;
  size_t span = r.fixed || r.count == 0 ? 1 : r.count;
  if (addr < r.address || addr - r.address >= span) return false;
  if (count > 0 && --count == 0) armed = false;
  return true;
}

void DeviceState::trace_request(const VendorRequest &r, const uint8_t *bytes, size_t n) {
  trace_.event(request_line(r, bytes, n));
}

int DeviceState::serve(const SetupPacket &setup, const uint8_t *out_data, size_t out_len,
                       uint8_t *in_data) {
  if (faults_.stall_in > 0 && --faults_.stall_in == 0) return -1;
  VendorRequest r;
  if (!decode_vendor_request(setup, out_data, out_len, &r)) return -1;
  if (!r.is_write && r.count > 0 && in_data == nullptr) return -1;
  if (request_fails(r)) return -1;
  if (r.is_write) {
    trace_request(r, r.data, r.count);
    if (probe_) {
      probe_->write_request(r.address, r.data, r.count, r.fixed);
    } else {
      target_->write(r.address, r.data, r.count, r.fixed);
    }
    return 0;
  }
  size_t n = r.count;
  if (faults_.pieces > 0 && n > size_t(faults_.pieces)) n = size_t(faults_.pieces);
  if (probe_) {
    probe_->read_request(r.address, in_data, n, r.fixed);
  } else {
    target_->read(r.address, in_data, n, r.fixed);
  }
  trace_request(r, in_data, n);
  return int(n);
}

int DeviceState::bulk_in(uint8_t *buffer, size_t max) {
  if (faults_.vanished) return -1;
  // A running firmware's output up to now is in the FIFO before the host takes from it.
  target_->advance();
  return int(target_->uart().take(buffer, max));
}

}  // namespace zk32sim
