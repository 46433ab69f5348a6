// Download and MCU control: the operations the grammars call.
#ifndef ORVANE_CONTROL_CONTROL_H
#define ORVANE_CONTROL_CONTROL_H

#include <cstdint>

constexpr int kTargetFlash = 1;
constexpr int kTargetSram = 2;

void download_image(int mode, int mcu_type, uint32_t address, int target_kind, const char *path);
int erase_flash(int mode, int mcu_type, uint32_t address, uint32_t sector_count);

void reset_mcu(int mode, int mcu_type);
void run_mcu(int mode, int mcu_type);
void stop_mcu(int mode, int mcu_type);
void step_mcu(int mode, int mcu_type);
void set_breakpoints(int mode, int mcu_type, const uint32_t addresses[4]);

uint32_t read_pc(int mode, int mcu_type);
void show_pc_in_listing(int mode, int mcu_type, const char *listing);

void setup_single_wire(int mcu_type, const unsigned char bytes[4]);
void activate_target(int mode, int mcu_type);

#endif
