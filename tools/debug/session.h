// SPDX-License-Identifier: Apache-2.0
// A debug session: what it knows between commands, and its commands.
#ifndef ORVANE_DEBUG_SESSION_H
#define ORVANE_DEBUG_SESSION_H

#include <cstdint>
#include <string>
#include <vector>

#include "tools/debug/symbols.h"
#include "tools/debug/target_ops.h"

struct session {
  target_link link;
  symbol_list symbols;
  double wait_seconds = 0;
  // The four hardware breakpoints as the chip holds them (0: free), once read from it.
  uint32_t slots[4] = {0, 0, 0, 0};
  bool slots_known = false;
};

enum class command_end { done, failed, quit };

// Runs one command line and prints its result.
command_end run_command(session *s, const std::string &line);

using words = std::vector<std::string>;

// The commands, each given its words (the command word first).  True when it succeeded; a
// failure has printed its "error: " line.
bool command_reset(session *s, const words &w);
bool command_halt(session *s, const words &w);
bool command_continue(session *s, const words &w);
bool command_step(session *s, const words &w);
bool command_break(session *s, const words &w);
bool command_info(session *s, const words &w);
bool command_delete(session *s, const words &w);
bool command_where(session *s, const words &w);
bool command_examine(session *s, const words &w);
bool command_examine_flash(session *s, const words &w);
bool command_set(session *s, const words &w);
bool command_load(session *s, const words &w);
bool command_symbols(session *s, const words &w);
bool command_uart(session *s, const words &w);

// Shared by the commands.
bool fail(const std::string &why);
bool fail(const op_outcome &outcome);
// A symbol's address, else a hexadecimal address ("70", "0x70").
bool resolve_address(const session &s, const std::string &text, uint32_t *address);
// A count: decimal, or hexadecimal after "0x".
bool parse_count(const std::string &text, uint32_t *count);
// "0x000070 <print_count>" (the symbol part only when one is known).
std::string where_text(const session &s, uint32_t address);

#endif
