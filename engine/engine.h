// SPDX-License-Identifier: Apache-2.0
// Memory and flash access engine: the operations the grammars call, and what the download,
// erase and control operations share with them.
#ifndef ORVANE_ENGINE_ENGINE_H
#define ORVANE_ENGINE_ENGINE_H

#include <cstdint>

#include "base/messages.h"
#include "dnusb.h"

constexpr uint32_t kReadBufferSize = 1048576;
extern unsigned char read_buffer[kReadBufferSize];
extern unsigned char write_scratch[4];

// Flash writer: loads the writer image named by writer_path into target SRAM and starts it.
// Returns kDone, or the failure line it printed.
outcome load_flash_writer(dn_handle_t handle, int mcu_type, int mode);
// One command through the flash-writer mailbox.  0 on failure (its line printed, and given in
// *ended when ended is not null); the page buffer's SRAM address for the page-buffer query
// '@'; 1 for every other command.
uint32_t flash_writer_command(dn_handle_t handle, int command, int mode, int mcu_type,
                              uint32_t address, uint32_t length, outcome *ended = nullptr);

constexpr int kWriterPageBufferQuery = 0x40;  // '@'
constexpr int kWriterPageProgram = 0x41;      // 'A'
constexpr int kWriterSectorErase = 0x4d;      // 'M'
constexpr int kWriterFlashRead = 0x4f;        // 'O'

// Operation code: 5 read, 6 write.  Data is 0 for a read.  Each returns kDone or the failure
// (or refusal) line that ended it.
outcome access_flash(int mode, int mcu_type, uint32_t address, uint32_t size, uint32_t data,
                     int op);
outcome access_sram(int mode, int mcu_type, uint32_t address, uint32_t size, uint32_t data,
                    int op);
outcome access_digital_register(int mode, int mcu_type, uint32_t address, uint32_t size,
                                uint32_t data, int op);
outcome access_analog_register(int mode, int mcu_type, uint32_t address, uint32_t size,
                               uint32_t data, int op);

// True when the device answers a one-byte read at address 0 (ReadMem, then ReadMem2).
bool usb_device_present(dn_handle_t handle);

// Shows read_buffer[0..size) as a hex dump, or saves it to output_path / user\Read.bin.
// kDone, or the line of a save that failed.
outcome output_read_data(uint32_t size, uint32_t start_address);
// True when a read got all its bytes: it ended in kDone, or only their saving failed.  Such a
// read still prints its time.
inline bool read_finished(outcome ended) {
  return ended == kDone || ended == msg::create_file_err_74 || ended == msg::save_write_error;
}

#endif
