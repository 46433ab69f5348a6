// SPDX-License-Identifier: Apache-2.0
// Whether a download or erase would run past the end of the chip's flash.  Orvane itself
// does not know the flash size; the companion does when it is given (--flash-size), and then
// refuses such a command before it is run rather than let the chip wrap it to the start.
#ifndef ORVANE_CHECK_FLASH_BOUNDS_H
#define ORVANE_CHECK_FLASH_BOUNDS_H

#include <cstdint>
#include <string>

#include "tools/check/command_shape.h"

// A size as typed: decimal, or hexadecimal after "0x", with an optional K or M (1024,
// 1048576).  False for no number, a trailing word, 0, or a size above 4 GB.
bool parse_flash_size(const std::string &text, uint64_t *size);

// For a flash download or erase that does not end within flash_size bytes: true, with *why
// saying where it ends.  Anything else: false.
bool runs_past_flash(const command_shape &shape, uint64_t flash_size, std::string *why);

#endif
