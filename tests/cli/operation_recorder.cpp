// Recording versions of every operation the grammars may call.
#include "tests/cli/operation_recorder.h"

#include "base/state.h"
#include "control/control.h"
#include "engine/engine.h"

std::vector<recorded_call> recorded_calls;

namespace {

void record(const char *name, std::vector<int64_t> values, const char *path = nullptr) {
  recorded_call call;
  call.name = name;
  call.values = std::move(values);
  if (path != nullptr) call.path = path;
  call.writer_path = writer_path;
  call.output_path = output_path;
  call.output_path_set = output_path_set;
  call.listing_path = listing_path;
  recorded_calls.push_back(call);
}

}  // namespace

void access_flash(int mode, int mcu_type, uint32_t address, uint32_t size, uint32_t data, int op) {
  record("access_flash", {mode, mcu_type, address, size, data, op});
}
void access_sram(int mode, int mcu_type, uint32_t address, uint32_t size, uint32_t data, int op) {
  record("access_sram", {mode, mcu_type, address, size, data, op});
}
void access_digital_register(int mode, int mcu_type, uint32_t address, uint32_t size,
                             uint32_t data, int op) {
  record("access_digital_register", {mode, mcu_type, address, size, data, op});
}
void access_analog_register(int mode, int mcu_type, uint32_t address, uint32_t size,
                            uint32_t data, int op) {
  record("access_analog_register", {mode, mcu_type, address, size, data, op});
}
void download_image(int mode, int mcu_type, uint32_t address, int target_kind, const char *path) {
  record("download_image", {mode, mcu_type, address, target_kind}, path);
}
int erase_flash(int mode, int mcu_type, uint32_t address, uint32_t sector_count) {
  record("erase_flash", {mode, mcu_type, address, sector_count});
  return 1;
}
void reset_mcu(int mode, int mcu_type) { record("reset_mcu", {mode, mcu_type}); }
void run_mcu(int mode, int mcu_type) { record("run_mcu", {mode, mcu_type}); }
void stop_mcu(int mode, int mcu_type) { record("stop_mcu", {mode, mcu_type}); }
void step_mcu(int mode, int mcu_type) { record("step_mcu", {mode, mcu_type}); }
void set_breakpoints(int mode, int mcu_type, const uint32_t addresses[4]) {
  record("set_breakpoints",
         {mode, mcu_type, addresses[0], addresses[1], addresses[2], addresses[3]});
}
bool read_pc(int mode, int mcu_type, uint32_t *pc) {
  record("read_pc", {mode, mcu_type});
  *pc = 0;
  return true;
}
void show_pc_in_listing(int mode, int mcu_type, const char *listing) {
  record("show_pc_in_listing", {mode, mcu_type}, listing);
}
void setup_single_wire(int mcu_type, const unsigned char bytes[4]) {
  record("setup_single_wire", {mcu_type, bytes[0], bytes[1], bytes[2], bytes[3]});
}
void activate_target(int mode, int mcu_type) { record("activate_target", {mode, mcu_type}); }
