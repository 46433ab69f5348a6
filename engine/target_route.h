// How one operation reaches the target: which handle, which exports and which transfer mode.
// Every engine operation picks its route here once, by mode code and MCU type, so the steps of
// the operations themselves read as plain "read N bytes at A" / "write N bytes at A".
#ifndef ORVANE_ENGINE_TARGET_ROUTE_H
#define ORVANE_ENGINE_TARGET_ROUTE_H

#include <cstdint>

#include "dnusb.h"

struct target_route {
  dn_handle_t handle;
  bool long_layout;   // ReadMem2/WriteMem2 (usb mode, MCU types 3 and 4)
  int transfer_mode;  // 1 direct, 4 through the EVK probe over Vlane
};

// The access rule: usb mode uses the second handle and the exports with the suffix 2 for MCU
// types 3 and 4, the first handle and the plain exports otherwise, transfer mode 1; evk mode
// uses the first handle, the plain exports and transfer mode 4 for every type.
dn_handle_t open_target_handle(int mode, int mcu_type);
target_route make_route(dn_handle_t handle, int mode, int mcu_type);

// Bytes moved, as the export reports them.
int route_read(const target_route &route, uint32_t address, unsigned char *dest, int count);
int route_write(const target_route &route, uint32_t address, const unsigned char *data, int count);
int route_write_byte(const target_route &route, uint32_t address, unsigned char value);

// The probe's own memory is always reached with WriteMem and transfer mode 1.  Writes the
// probe control byte of the MCU type to 0x9fff; returns the count written.
int write_probe_control(dn_handle_t handle, int mcu_type);

// Evk set-up before any target access over Vlane: false when the handle is no EVK probe (the
// caller prints its own message); otherwise the probe control byte is written (its result is
// not looked at) and the probe is given 10 ms.
bool prepare_probe(dn_handle_t handle, int mcu_type);

#endif
