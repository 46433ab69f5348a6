// SPDX-License-Identifier: Apache-2.0
// The character commands that read or write memory: wf, rf, wc, rc, wa, ra.
#ifndef ORVANE_CLI_CHARACTER_MEMORY_H
#define ORVANE_CLI_CHARACTER_MEMORY_H

#include "cli/character_options.h"

// Each returns the exit code: 1 when the line is refused, else 0.
int command_wf(const character_line &line);
int command_rf(const character_line &line);
int command_wc(const character_line &line);
int command_rc(const character_line &line);
int command_wa(const character_line &line);
int command_ra(const character_line &line);

#endif
