// SPDX-License-Identifier: Apache-2.0
// Recording versions of every operation the grammars may call.
#include "tests/cli/operation_recorder.h"

#include "base/state.h"
#include "control/control.h"
#include "engine/engine.h"

std::vector<recorded_call> recorded_calls;

namespace {

outcome record(const char *name, std::vector<int64_t> values, const char *path = nullptr) {
  recorded_call call;
  call.name = name;
  call.values = std::move(values);
  if (path != nullptr) call.path = path;
  call.writer_path = writer_path;
  call.output_path = output_path;
  call.output_path_set = output_path_set;
  call.listing_path = listing_path;
  recorded_calls.push_back(call);
  return kDone;
}

}  // namespace

outcome access_flash(int mode, int mcu_type, uint32_t address, uint32_t size, uint32_t data, int op) {
  return record("access_flash", {mode, mcu_type, address, size, data, op});
}
outcome access_sram(int mode, int mcu_type, uint32_t address, uint32_t size, uint32_t data, int op) {
  return record("access_sram", {mode, mcu_type, address, size, data, op});
}
outcome access_digital_register(int mode, int mcu_type, uint32_t address, uint32_t size,
                             uint32_t data, int op) {
  return record("access_digital_register", {mode, mcu_type, address, size, data, op});
}
outcome access_analog_register(int mode, int mcu_type, uint32_t address, uint32_t size,
                            uint32_t data, int op) {
  return record("access_analog_register", {mode, mcu_type, address, size, data, op});
}
outcome download_image(int mode, int mcu_type, uint32_t address, int target_kind, const char *path) {
  return record("download_image", {mode, mcu_type, address, target_kind}, path);
}
outcome erase_flash(int mode, int mcu_type, uint32_t address, uint32_t sector_count) {
  return record("erase_flash", {mode, mcu_type, address, sector_count});
}
outcome reset_mcu(int mode, int mcu_type) { return record("reset_mcu", {mode, mcu_type}); }
outcome run_mcu(int mode, int mcu_type) { return record("run_mcu", {mode, mcu_type}); }
outcome stop_mcu(int mode, int mcu_type) { return record("stop_mcu", {mode, mcu_type}); }
outcome step_mcu(int mode, int mcu_type) { return record("step_mcu", {mode, mcu_type}); }
outcome set_breakpoints(int mode, int mcu_type, const uint32_t addresses[4]) {
  return record("set_breakpoints",
         {mode, mcu_type, addresses[0], addresses[1], addresses[2], addresses[3]});
}
outcome read_pc(int mode, int mcu_type, uint32_t *pc) {
  *pc = 0;
  return record("read_pc", {mode, mcu_type});
}
outcome show_pc_in_listing(int mode, int mcu_type, const char *listing) {
  return record("show_pc_in_listing", {mode, mcu_type}, listing);
}
outcome setup_single_wire(int mcu_type, const unsigned char bytes[4]) {
  return record("setup_single_wire", {mcu_type, bytes[0], bytes[1], bytes[2], bytes[3]});
}
outcome activate_target(int mode, int mcu_type) { return record("activate_target", {mode, mcu_type}); }
