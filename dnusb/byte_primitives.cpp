// SPDX-License-Identifier: Apache-2.0
// Flash and OTP byte primitives for a directly attached chip: fixed sequences of one-byte
// register writes and reads, each through WriteMem / ReadMem with transfer mode 1 (short
// layout, direct route).  None of them reports a failed transfer; every step is taken.
//
// A failed register byte read gives 0 (the byte is preset to 0 and nothing arrives).
#include "clock.h"
#include "dnusb.h"
#include "wire/target_registers.h"

namespace {

constexpr int kDirect = 1;

// Flash SPI controller.
constexpr int kSpiData = 0x0c;
constexpr int kSpiControl = 0x0d;
constexpr int kSpiEnd = 0x01;     // chip select inactive
constexpr int kSpiBegin = 0x00;   // chip select active
constexpr int kSpiRead = 0x0a;    // command stays open, switches to reading
constexpr int kWriteEnable = 0x06;
constexpr int kSectorErase = 0x20;
constexpr int kPageProgram = 0x02;
constexpr int kReadData = 0x03;

// OTP controller.
constexpr int kOtpAddressLow = 0x10;
constexpr int kOtpAddressHigh = 0x11;
constexpr int kOtpPrepare = 0x12;
constexpr int kOtpData = 0x13;
constexpr int kOtpRead = 0x19;
constexpr int kOtpMode = 0x1a;
constexpr int kOtpModeWrite = 0x02;
constexpr int kOtpModeRead = 0x06;
constexpr int kOtpPower = 0x88;  // analog register held at 0x92 while programming

// Analog register window (kAnalogAddress, data and control follow it).
constexpr unsigned char kAnalogStartWrite = 0x60;

void put(dn_handle_t handle, int address, int value) {
  unsigned char byte = static_cast<unsigned char>(value & 0xFF);
  WriteMem(handle, static_cast<uint32_t>(address), &byte, 1, kDirect);
}

int get(dn_handle_t handle, int address) {
  unsigned char byte = 0;
  ReadMem(handle, static_cast<uint32_t>(address), &byte, 1, kDirect);
  return byte;
}

void put_analog(dn_handle_t handle, int analog_register, int value) {
  // Number, value and start code land in 0xb8, 0xb9 and 0xba with one request.
  unsigned char window[3] = {static_cast<unsigned char>(analog_register & 0xFF),
                             static_cast<unsigned char>(value & 0xFF), kAnalogStartWrite};
  WriteMem(handle, kAnalogAddress, window, 3, kDirect);
}

// Steps 1 to 4 of erase and program: hold the core, then a Write Enable command, leaving a
// new command open.
void hold_and_write_enable(dn_handle_t handle) {
  put(handle, kCoreControl, kCoreResetRequest);
  put(handle, kSpiControl, kSpiEnd);
  put(handle, kSpiControl, kSpiBegin);
  put(handle, kSpiData, kWriteEnable);
  put(handle, kSpiControl, kSpiEnd);
  put(handle, kSpiControl, kSpiBegin);
}

// An SPI flash opcode and its three address bytes, most significant first; bits above 23
// are not sent.
void send_command(dn_handle_t handle, int opcode, uint32_t address) {
  put(handle, kSpiData, opcode);
  put(handle, kSpiData, static_cast<int>((address >> 16) & 0xFF));
  put(handle, kSpiData, static_cast<int>((address >> 8) & 0xFF));
  put(handle, kSpiData, static_cast<int>(address & 0xFF));
}

}  // namespace

extern "C" {

int DNUSB_CALL dn_read_byte(dn_handle_t handle, int address) { return get(handle, address); }

int DNUSB_CALL dn_write_byte(dn_handle_t handle, int address, int value) {
  put(handle, address, value);
  return 0;
}

int DNUSB_CALL dn_write_byte_a(dn_handle_t handle, int analog_register, int value) {
  // No wait for the busy bit and no clearing of the control register afterwards.
  put_analog(handle, analog_register, value);
  return 0;
}

int DNUSB_CALL dn_flash_erase(dn_handle_t handle, uint32_t address) {
  hold_and_write_enable(handle);
  send_command(handle, kSectorErase, address);
  put(handle, kSpiControl, kSpiEnd);
  // The status register is never read: the erase is taken as done after a fixed wait.
  dn_sleep_ms(100);
  return 0;
}

int DNUSB_CALL dn_flash_write(dn_handle_t handle, uint32_t address, const unsigned char *data,
                              int count) {
  hold_and_write_enable(handle);
  send_command(handle, kPageProgram, address);
  // The data must stay within one flash page; nothing here splits it.
  if (data != nullptr) {
    for (int i = 0; i < count; ++i) put(handle, kSpiData, data[i]);
  }
  put(handle, kSpiControl, kSpiEnd);
  dn_sleep_ms(10);
  return 0;
}

int DNUSB_CALL dn_flash_read(dn_handle_t handle, uint32_t address, unsigned char *dest,
                             int count) {
  put(handle, kCoreControl, kCoreResetRequest);
  put(handle, kSpiControl, kSpiEnd);
  put(handle, kSpiControl, kSpiBegin);
  send_command(handle, kReadData, address);
  put(handle, kSpiData, 0x00);  // the extra byte before data comes back
  put(handle, kSpiControl, kSpiRead);
  if (dest != nullptr) {
    for (int i = 0; i < count; ++i) dest[i] = static_cast<unsigned char>(get(handle, kSpiData));
  }
  put(handle, kSpiControl, kSpiEnd);
  dn_sleep_ms(10);
  return 0;
}

int DNUSB_CALL dn_otp_write(dn_handle_t handle, int address, int value) {
  static const unsigned char clocks[3] = {0x00, 0x00, 0x00};
  static const unsigned char resets[3] = {0xff, 0xff, 0x07};
  WriteMem(handle, 0x60, clocks, 3, kDirect);
  WriteMem(handle, 0x63, resets, 3, kDirect);
  put(handle, kCoreControl, kCoreResetRequest);
  put_analog(handle, kOtpPower, 0x92);
  put(handle, kOtpPrepare, 0x7e);
  put(handle, 0x71, 0x24);
  put(handle, kOtpAddressLow, address & 0xFF);
  put(handle, kOtpAddressHigh, (address >> 8) & 0xFF);
  put(handle, kOtpMode, kOtpModeWrite);
  put(handle, kOtpData, value);
  put(handle, kOtpData, value);
  dn_sleep_ms(10);
  put_analog(handle, kOtpPower, 0x9a);
  return 0;
}

int DNUSB_CALL dn_otp_read(dn_handle_t handle, int address) {
  // The controller is given the wanted address minus 4; the fourth read of the sequence
  // carries the wanted byte, the three before it are discarded.
  uint32_t lagged = static_cast<uint32_t>(address) - 4u;
  put(handle, kOtpAddressLow, static_cast<int>(lagged & 0xFF));
  put(handle, kOtpAddressHigh, static_cast<int>((lagged >> 8) & 0xFF));
  put(handle, kOtpMode, kOtpModeRead);
  get(handle, kOtpData);
  get(handle, 0x00);
  get(handle, kOtpRead);
  return get(handle, kOtpRead);
}

}  // extern "C"
