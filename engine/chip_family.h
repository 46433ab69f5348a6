// SPDX-License-Identifier: Apache-2.0
// Chip-family decisions, kept in one place: every operation asks here.
#ifndef ORVANE_ENGINE_CHIP_FAMILY_H
#define ORVANE_ENGINE_CHIP_FAMILY_H

#include <cstdint>

// Mode codes of the command line: how the user reaches the chip (not the library's transfer
// mode, which is target_route.h's).
constexpr int kModeUsb = 1;
constexpr int kModeEvk = 4;
constexpr int kOpRead = 5;
constexpr int kOpWrite = 6;

// MCU types 3 and 4 form one family (SRAM at 0x40000, second handle and the exports with the
// suffix 2 in usb mode); every other type forms the other (SRAM at 0x8000).
inline bool is_family34(int mcu_type) { return mcu_type == 3 || mcu_type == 4; }
inline uint32_t sram_base(int mcu_type) { return is_family34(mcu_type) ? 0x40000u : 0x8000u; }
// SRAM is 256 KB in the 3/4 family and 64 KB in the other; flash is seen below the SRAM base.
inline uint32_t sram_size(int mcu_type) { return is_family34(mcu_type) ? 0x40000u : 0x10000u; }
// The probe control byte (wire/target_registers.h), written before any Vlane traffic.
inline unsigned char probe_control_byte(int mcu_type) {
  return is_family34(mcu_type) ? 0x50 : 0x10;
}
// Below this address the character commands "wc" and "rc" reach digital registers, from it
// SRAM.  The test is "type below 3", so types above 4 get the high limit (unlike sram_base).
inline uint32_t sram_limit(int32_t mcu_type) { return mcu_type < 3 ? 0x8000u : 0x40000u; }
// Written to the core control register to start the core.
inline unsigned char start_byte(int mcu_type) { return mcu_type == 4 ? 0x80 : 0x88; }
// MCU type 1 alone wants its start flag (kType1StartFlag) set before its core starts on SRAM.
inline bool needs_start_flag(int mcu_type) { return mcu_type == 1; }

#endif
