// SPDX-License-Identifier: Apache-2.0
#include "engine/target_route.h"

#include "base/console.h"
#include "base/platform.h"
#include "engine/chip_family.h"
#include "wire/target_registers.h"

namespace {

constexpr uint32_t kAnyDevice = 0xffff;
// The probe needs the control byte settled before it drives Vlane.
constexpr uint32_t kProbeSettleMs = 10;

int as_argument(transfer_mode transfer) { return static_cast<int>(transfer); }

}  // namespace

dn_handle_t open_target_handle(int mode, int mcu_type) {
  if (mode == kModeUsb && is_family34(mcu_type)) return GetPrintDeviceHandle2(kAnyDevice);
  return GetPrintDeviceHandle(kAnyDevice);
}

target_route make_route(dn_handle_t handle, int mode, int mcu_type) {
  target_route route;
  route.handle = handle;
  route.long_layout = mode == kModeUsb && is_family34(mcu_type);
  route.transfer = mode == kModeEvk ? transfer_mode::vlane : transfer_mode::direct;
  return route;
}

outcome open_core_route(int mode, int mcu_type, msg no_usb_line, msg no_evk_line,
                        target_route *route) {
  const dn_handle_t first = GetPrintDeviceHandle(kAnyDevice);
  const dn_handle_t second = GetPrintDeviceHandle2(kAnyDevice);
  *route = target_route{0, false, transfer_mode::none};

  if (first == 0 && second == 0) return fail(no_usb_line);

  if (mode == kModeEvk) {
    // The probe test runs on the first handle; without one the probe cannot be there.
    if (first == 0 || !prepare_probe(first, mcu_type)) return fail(no_evk_line);
    *route = make_route(first, mode, mcu_type);
    return kDone;
  }

  if (mode == kModeUsb) {
    const dn_handle_t handle = is_family34(mcu_type) ? second : first;
    if (handle == 0) return fail(no_usb_line);
    if (is_probe_handle(handle)) return fail(msg::usb_mode_on_probe_241);
    *route = make_route(handle, mode, mcu_type);
    return kDone;
  }

  // Any other mode: no transfer at all; the operation still prints its final line.
  return kDone;
}

int route_read(const target_route &route, uint32_t address, unsigned char *dest, int count) {
  if (route.transfer == transfer_mode::none) return 0;
  const int transfer = as_argument(route.transfer);
  if (route.long_layout) return ReadMem2(route.handle, address, dest, count, transfer);
  return ReadMem(route.handle, address, dest, count, transfer);
}

int route_write(const target_route &route, uint32_t address, const unsigned char *data, int count) {
  if (route.transfer == transfer_mode::none) return 0;
  const int transfer = as_argument(route.transfer);
  if (route.long_layout) return WriteMem2(route.handle, address, data, count, transfer);
  return WriteMem(route.handle, address, data, count, transfer);
}

int route_write_byte(const target_route &route, uint32_t address, unsigned char value) {
  return route_write(route, address, &value, 1);
}

int probe_read(dn_handle_t probe, uint32_t address, unsigned char *dest, int count) {
  return ReadMem(probe, address, dest, count, as_argument(transfer_mode::direct));
}

int probe_write_byte(dn_handle_t probe, uint32_t address, unsigned char value) {
  return WriteMem(probe, address, &value, 1, as_argument(transfer_mode::direct));
}

int write_probe_control(dn_handle_t handle, int mcu_type) {
  return probe_write_byte(handle, kProbeControl, probe_control_byte(mcu_type));
}

bool prepare_probe(dn_handle_t handle, int mcu_type) {
  if (IsEVKDevice(handle) == 0) return false;
  write_probe_control(handle, mcu_type);
  sleep_ms(kProbeSettleMs);
  return true;
}
