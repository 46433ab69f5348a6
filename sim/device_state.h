// SPDX-License-Identifier: Apache-2.0
// Everything behind one simulated USB device: the attached chip or EVK probe, the settings
// and faults of the control language, and the trace.
#ifndef ZK32SIM_DEVICE_STATE_H
#define ZK32SIM_DEVICE_STATE_H

#include <memory>
#include <string>
#include <vector>

#include "sim/device_model.h"
#include "sim/settings.h"
#include "sim/target_chip.h"
#include "sim/trace_log.h"
#include "sim/vendor_request.h"

namespace zk32sim {

class EvkProbe;

class DeviceState {
 public:
  explicit DeviceState(const Options &options);
  ~DeviceState();

  int control(const SetupPacket &setup, const uint8_t *out_data, size_t out_len,
              uint8_t *in_data);
  int bulk_in(uint8_t *buffer, size_t max);
  std::string command(const std::string &line, bool *ok);
  bool vanished() const { return faults_.vanished; }

 private:
  int serve(const SetupPacket &setup, const uint8_t *out_data, size_t out_len,
            uint8_t *in_data);
  bool request_fails(const VendorRequest &request);
  void trace_request(const VendorRequest &request, const uint8_t *bytes, size_t n);

  // Control language pieces (control_language.cpp).
  std::string memory_command(const std::vector<std::string> &words, bool *ok);
  std::string flash_command(const std::vector<std::string> &words, bool *ok);
  std::string chip_command(const std::vector<std::string> &words, bool *ok);
  std::string set_command(const std::vector<std::string> &words, bool *ok);
  std::string fault_command(const std::vector<std::string> &words, bool *ok);

  Options options_;
  Settings settings_;
  Faults faults_;
  TraceLog trace_;
  std::unique_ptr<TargetChip> target_;
  std::unique_ptr<EvkProbe> probe_;
};

}  // namespace zk32sim

#endif
