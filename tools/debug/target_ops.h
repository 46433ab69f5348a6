// SPDX-License-Identifier: Apache-2.0
// Everything the session asks of the chip, one operation each.  This header and
// target_ops.cpp are the only place that reaches the program's operations: today each one is
// an Orvane run (see target_ops.cpp for why), judged by the console lines it prints.
#ifndef ORVANE_DEBUG_TARGET_OPS_H
#define ORVANE_DEBUG_TARGET_OPS_H

#include <cstdint>
#include <string>
#include <vector>

// How the chip is reached: the program, the chip name of config.ini, usb or evk, the listing.
struct target_link {
  std::string program;  // Orvane's path
  std::string chip;
  bool usb = false;
  std::string listing;  // empty: none given
};

// How one operation went.  ok only when its completion line was seen and no failure line.
struct op_outcome {
  bool ok = false;
  std::string failure;  // the line that ended it (trimmed), or why it could not run
};

op_outcome op_reset(const target_link &link);
op_outcome op_run(const target_link &link);
op_outcome op_halt(const target_link &link, uint32_t *pc);
op_outcome op_step(const target_link &link, uint32_t *pc);
// The four breakpoint entries, 0 for a free one.
op_outcome op_set_breakpoints(const target_link &link, const uint32_t addresses[4]);
// The program counter, read without disturbing the core.
op_outcome op_read_pc(const target_link &link, uint32_t *pc);
// SRAM and registers (one address space), and flash.
op_outcome op_read_core(const target_link &link, uint32_t address, uint32_t length,
                        std::vector<uint8_t> *bytes);
op_outcome op_read_flash(const target_link &link, uint32_t address, uint32_t length,
                         std::vector<uint8_t> *bytes);
op_outcome op_write_core(const target_link &link, uint32_t address,
                         const std::vector<uint8_t> &bytes);
// A raw image file into flash at address.
op_outcome op_download(const target_link &link, const std::string &path, uint32_t address);
// The listing's symbol line and instruction line at the program counter (empty when no
// routine of the listing holds it).
op_outcome op_where(const target_link &link, std::string *lines);
// What the chip's UART has sent since the last look.
op_outcome op_uart(std::string *bytes);

#endif
