// Download and MCU control: the operations the grammars call.
#ifndef ORVANE_CONTROL_CONTROL_H
#define ORVANE_CONTROL_CONTROL_H

#include <cstdint>

constexpr int kTargetFlash = 1;
constexpr int kTargetSram = 2;

// The flash writer's sector erase carries a 32-bit address: a run of 4 KB sectors from
// address must end within it.  A count read from "-1" (0xffffffff sectors) would otherwise
// erase for hours over wrapped addresses.  The grammars refuse a range that does not fit.
inline bool erase_range_fits(uint32_t address, uint32_t sector_count) {
  return static_cast<uint64_t>(address) + static_cast<uint64_t>(sector_count) * 4096u <=
         0x100000000ull;
}

void download_image(int mode, int mcu_type, uint32_t address, int target_kind, const char *path);
int erase_flash(int mode, int mcu_type, uint32_t address, uint32_t sector_count);

void reset_mcu(int mode, int mcu_type);
void run_mcu(int mode, int mcu_type);
void stop_mcu(int mode, int mcu_type);
void step_mcu(int mode, int mcu_type);
void set_breakpoints(int mode, int mcu_type, const uint32_t addresses[4]);

// The program counter into *pc.  False, with its line printed, when there is no device or
// the read fails (then *pc is left alone).
bool read_pc(int mode, int mcu_type, uint32_t *pc);
void show_pc_in_listing(int mode, int mcu_type, const char *listing);

void setup_single_wire(int mcu_type, const unsigned char bytes[4]);
void activate_target(int mode, int mcu_type);

#endif
