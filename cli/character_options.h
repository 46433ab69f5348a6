// SPDX-License-Identifier: Apache-2.0
// What the character commands share: the command line, option values and sizes.
#ifndef ORVANE_CLI_CHARACTER_OPTIONS_H
#define ORVANE_CLI_CHARACTER_OPTIONS_H

#include <cstdint>

struct character_line {
  int argc;
  char **argv;
  int32_t mcu_type;
};

// True when argument i exists and is exactly option.
bool is_option(const character_line &line, int i, const char *option);

// The argument after position i, or nullptr when position i is the last argument.
const char *option_value(const character_line &line, int i);

// "-s" at position i.  Plain: the decimal number of the next argument.  With unit: that number
// times 1024 for a last character K/k, 1048576 for M/m (32-bit wrap).  False when "-s" is the
// last argument or the decimal number is 0 (tested before the unit is applied).
bool read_plain_size(const character_line &line, int i, uint32_t *size);
bool read_unit_size(const character_line &line, int i, uint32_t *size);

// Clears a 261-character path buffer and copies text into it; false (buffer left empty) when
// the text has more than 260 characters.
bool copy_path(char *buffer, const char *text);

// True, with the refusal printed, when text is a hexadecimal value (address, size, sector
// count, data word) that reads as 0 only because it does not fit: refused before anything is
// sent rather than acted on at 0.
bool hex_refused(const char *text);

#endif
