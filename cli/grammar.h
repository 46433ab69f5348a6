// SPDX-License-Identifier: Apache-2.0
// The two command grammars and the help text.
#ifndef ORVANE_CLI_GRAMMAR_H
#define ORVANE_CLI_GRAMMAR_H

#include <cstdint>

// Checks a character command line (chip name, command word, values, options) and calls its
// one operation.  Returns the exit code: 1 when the line is refused, else 0.
int run_character_command(int argc, char **argv, int32_t mcu_type);

// Checks a numeric command line for the command code (0..255) and calls its one operation.
// Returns the exit code: 1 when a hexadecimal value does not fit 32 bits, else 0.
int run_numeric_command(int code, int argc, char **argv);

// Prints two line feeds and the help text.
void print_help();

#endif
