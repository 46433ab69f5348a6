#include "engine/target_route.h"

#include "base/platform.h"
#include "engine/chip_family.h"

dn_handle_t open_target_handle(int mode, int mcu_type) {
  if (mode == kModeUsb && is_family34(mcu_type)) return GetPrintDeviceHandle2(0xffff);
  return GetPrintDeviceHandle(0xffff);
}

target_route make_route(dn_handle_t handle, int mode, int mcu_type) {
  target_route route;
  route.handle = handle;
  route.long_layout = mode == kModeUsb && is_family34(mcu_type);
  route.transfer_mode = mode == kModeEvk ? 4 : 1;
  return route;
}

int route_read(const target_route &route, uint32_t address, unsigned char *dest, int count) {
  if (route.long_layout) return ReadMem2(route.handle, address, dest, count, route.transfer_mode);
  return ReadMem(route.handle, address, dest, count, route.transfer_mode);
}

int route_write(const target_route &route, uint32_t address, const unsigned char *data, int count) {
  if (route.long_layout) return WriteMem2(route.handle, address, data, count, route.transfer_mode);
  return WriteMem(route.handle, address, data, count, route.transfer_mode);
}

int route_write_byte(const target_route &route, uint32_t address, unsigned char value) {
  return route_write(route, address, &value, 1);
}

int write_probe_control(dn_handle_t handle, int mcu_type) {
  unsigned char value = probe_control_byte(mcu_type);
  return WriteMem(handle, kProbeControl, &value, 1, 1);
}

bool prepare_probe(dn_handle_t handle, int mcu_type) {
  if (IsEVKDevice(handle) == 0) return false;
  write_probe_control(handle, mcu_type);
  sleep_ms(10);
  return true;
}
