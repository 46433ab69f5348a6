// SPDX-License-Identifier: Apache-2.0
// How one operation reaches the target: which handle, which exports and which transfer mode.
// Every operation picks its route here once, by mode code and MCU type, so the steps of the
// operations themselves read as plain "read N bytes at A" / "write N bytes at A".
//
// Two kinds of "mode" meet here and are kept apart: the mode code of the command line (usb 1,
// evk 4, see chip_family.h) says how the user reaches the chip; the transfer mode is the last
// argument of ReadMem/WriteMem and says how the library moves the bytes.
#ifndef ORVANE_ENGINE_TARGET_ROUTE_H
#define ORVANE_ENGINE_TARGET_ROUTE_H

#include <cstdint>

#include "base/messages.h"
#include "dnusb.h"

// The library's transfer mode.  none: the route makes no transfer at all (the core operations
// under a mode code that is neither usb nor evk).
enum class transfer_mode : int { none = 0, direct = 1, vlane = 4 };

struct target_route {
  dn_handle_t handle;
  bool long_layout;  // ReadMem2/WriteMem2 (usb mode, MCU types 3 and 4)
  transfer_mode transfer;
};

// The access rule: usb mode uses the second handle and the exports with the suffix 2 for MCU
// types 3 and 4, the first handle and the plain exports otherwise, transfer mode direct; evk
// mode uses the first handle, the plain exports and transfer mode vlane for every type.
dn_handle_t open_target_handle(int mode, int mcu_type);
target_route make_route(dn_handle_t handle, int mode, int mcu_type);

// The common start of the core operations (run control, the program-counter read): requests
// the first and the second handle (in this order), checks for a device and, in evk mode, for
// an EVK probe, then writes the probe control byte and sleeps 10 ms.  On refusal prints the
// given line and returns it.  In usb mode a device counts as present only when the handle
// the MCU type uses is non-zero, so no transfer is ever sent to handle 0, and an EVK probe is
// refused there (241).  Any other mode code gives a route that makes no transfer.
outcome open_core_route(int mode, int mcu_type, msg no_usb_line, msg no_evk_line,
                        target_route *route);

// True when the device search found an EVK probe on this handle (the library marks it from
// the identity read it makes anyway).  Usb mode talks to the chip itself: a command sent
// there to a probe would read the probe's memory as the chip's.
inline bool is_probe_handle(dn_handle_t handle) { return (handle & DN_HANDLE_PROBE) != 0; }

// Bytes moved, as the export reports them (0 on a route that makes no transfer).
int route_read(const target_route &route, uint32_t address, unsigned char *dest, int count);
int route_write(const target_route &route, uint32_t address, const unsigned char *data, int count);
int route_write_byte(const target_route &route, uint32_t address, unsigned char value);

// The probe's own memory is always reached with the plain exports and transfer mode direct.
int probe_read(dn_handle_t probe, uint32_t address, unsigned char *dest, int count);
int probe_write_byte(dn_handle_t probe, uint32_t address, unsigned char value);

// Writes the probe control byte of the MCU type; returns the count written.
int write_probe_control(dn_handle_t handle, int mcu_type);

// Evk set-up before any target access over Vlane: false when the handle is no EVK probe (the
// caller prints its own message); otherwise the probe control byte is written (its result is
// not looked at) and the probe is given 10 ms.
bool prepare_probe(dn_handle_t handle, int mcu_type);

#endif
