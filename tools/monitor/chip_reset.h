// SPDX-License-Identifier: Apache-2.0
// --reset: the chip is stopped and reset by the Orvane program itself, which knows the chip
// names of config.ini and how each chip and mode is reached.  The monitor drops what the
// stopped chip had sent in between, so everything shown afterwards comes from after the reset.
#ifndef ORVANE_MONITOR_CHIP_RESET_H
#define ORVANE_MONITOR_CHIP_RESET_H

#include <cstddef>

// Runs "orvane CHIP WORD [-u]" (the orvane beside this program, else the one on PATH) and
// returns true when it printed the line that begins with success_line.  Otherwise false, with
// Orvane's last console line (or why it could not run) in error.
bool run_orvane_word(const char *chip, const char *word, bool usb, const char *success_line,
                     char *error, size_t error_size);

// A chip name as config.ini has it: 1 to 31 letters, digits, '.', '_' or '-'.
bool plain_chip_name(const char *chip);

#endif
