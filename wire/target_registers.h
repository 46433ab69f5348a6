// SPDX-License-Identifier: Apache-2.0
// Addresses in the target's register space and in the EVK probe's own memory, one byte each
// unless stated.  Every operation names a register from here, never by its number.
#ifndef ORVANE_WIRE_TARGET_REGISTERS_H
#define ORVANE_WIRE_TARGET_REGISTERS_H

#include <cstdint>

// --- The target core -------------------------------------------------------------------------

// Core control: bit 1 set halts the core.  The flash-writer loader writes the reset request
// (bits 0 and 2) and waits to read both back; the start byte written here starts the core.
constexpr uint32_t kCoreControl = 0x602;
constexpr unsigned char kCoreHaltBit = 0x02;
constexpr unsigned char kCoreResetRequest = 0x05;

// Run control: bit 7 set releases the halted core (one instruction when stepping).  It is
// also the enable byte of breakpoint entry 0.
constexpr uint32_t kRunControl = 0x613;
constexpr unsigned char kRunReleaseBit = 0x80;

// Four breakpoint entries of four bytes: address bits 0-23 little-endian, then the enable byte.
constexpr uint32_t kBreakpointEntries = 0x610;

// The program counter, four bytes little-endian; reading it does not disturb the core.
constexpr uint32_t kProgramCounter = 0x6bc;

// Writing kResetValue here resets the core.
constexpr uint32_t kResetRegister = 0x6f;
constexpr unsigned char kResetValue = 0x20;

// After the activation handshake: 'S' or 'U' when the target accepted it.
constexpr uint32_t kActivationStatus = 0x7f;

// Analog registers are reached one byte at a time through these three.
constexpr uint32_t kAnalogAddress = 0xb8;
constexpr uint32_t kAnalogData = 0xb9;
constexpr uint32_t kAnalogControl = 0xba;

// MCU type 1 alone wants 0x01 here before its core is started on SRAM.
constexpr uint32_t kType1StartFlag = 0x8ff0;

// The loader's set-up writes before the flash writer goes into SRAM, in this order.  What they
// select inside the chip is not ours to know; the values and the order are what it expects.
// Over Vlane only the first kLoaderSetupOverVlane are made.
struct register_byte {
  uint32_t address;
  unsigned char value;
};
constexpr register_byte kLoaderSetup[] = {
    {0x622, 0x00}, {0x643, 0x00}, {0x60c, 0x40}, {0x60d, 0x40}, {0x104, 0xff}};
constexpr int kLoaderSetupOverVlane = 2;

// --- The EVK probe's own memory (its mailbox at 0x9ff0..0x9fff) --------------------------------

// The probe control byte: the MCU type's byte before any Vlane traffic, 'M' to activate.
constexpr uint32_t kProbeControl = 0x9fff;
// A word the probe changes when it has finished a command.
constexpr uint32_t kProbeStatusWord = 0x9ff4;

#endif
