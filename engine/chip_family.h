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
// The probe control byte (wire/target_registers.h), written before any Vlane traffic.
inline unsigned char probe_control_byte(int mcu_type) {
  return is_family34(mcu_type) ? 0x50 : 0x10;
}
// Written to the core control register to start the core.
inline unsigned char start_byte(int mcu_type) { return mcu_type == 4 ? 0x80 : 0x88; }

#endif
