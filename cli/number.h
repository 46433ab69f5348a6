// SPDX-License-Identifier: Apache-2.0
// The one number reader of the program: command-line arguments and config.ini fields.
#ifndef ORVANE_CLI_NUMBER_H
#define ORVANE_CLI_NUMBER_H

#include <cstdint>

// Reads text by the strtol rules in base 16 or 10: leading white space, an optional sign, in
// base 16 an optional "0x"/"0X", then digits up to the first non-digit.  No digit gives 0; a
// value outside the signed 32-bit range (or one that overflows while being read) gives 0.
int32_t read_number(const char *text, int base);

// True when text, read as a hexadecimal number, reads as 0 only because its value does not
// fit (a typed 80000000 or a nine-digit address).  "-1" fits: it is all bits set.
bool hex_overflows(const char *text);

inline int32_t read_hex(const char *text) { return read_number(text, 16); }
inline int32_t read_decimal(const char *text) { return read_number(text, 10); }

#endif
