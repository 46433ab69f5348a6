// SPDX-License-Identifier: Apache-2.0
// Download and MCU control: the operations the grammars call.
#ifndef ORVANE_CONTROL_CONTROL_H
#define ORVANE_CONTROL_CONTROL_H

#include <cstdint>

#include "base/messages.h"

constexpr int kTargetFlash = 1;
constexpr int kTargetSram = 2;

// The flash writer's sector erase carries a 32-bit address: a run of 4 KB sectors from
// address must end within it.  A count read from "-1" (0xffffffff sectors) would otherwise
// erase for hours over wrapped addresses.  The grammars refuse a range that does not fit.
inline bool erase_range_fits(uint32_t address, uint32_t sector_count) {
  return static_cast<uint64_t>(address) + static_cast<uint64_t>(sector_count) * 4096u <=
         0x100000000ull;
}

// Every operation prints its lines and returns how it ended: kDone, or the failure line that
// ended it (for a download that went on after a failed erase or page program, the first of
// those).  The grammars do not look at it: the exit code never depends on it.
outcome download_image(int mode, int mcu_type, uint32_t address, int target_kind,
                       const char *path);
outcome erase_flash(int mode, int mcu_type, uint32_t address, uint32_t sector_count);

outcome reset_mcu(int mode, int mcu_type);
outcome run_mcu(int mode, int mcu_type);
outcome stop_mcu(int mode, int mcu_type);
outcome step_mcu(int mode, int mcu_type);
outcome set_breakpoints(int mode, int mcu_type, const uint32_t addresses[4]);

// The program counter into *pc, or its line printed and returned when there is no device or
// the read fails (then *pc is left alone).
outcome read_pc(int mode, int mcu_type, uint32_t *pc);
outcome show_pc_in_listing(int mode, int mcu_type, const char *listing);

outcome setup_single_wire(int mcu_type, const unsigned char bytes[4]);
outcome activate_target(int mode, int mcu_type);

#endif
