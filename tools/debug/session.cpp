// SPDX-License-Identifier: Apache-2.0
// The session's command dispatch, shared helpers and help text.
#include "tools/debug/session.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>

namespace {

struct command_entry {
  const char *name;
  const char *short_name;  // nullptr: none
  bool (*run)(session *, const words &);
};

const command_entry kCommands[] = {
    {"reset", nullptr, command_reset},
    {"halt", "stop", command_halt},
    {"continue", "c", command_continue},
    {"step", "s", command_step},
    {"break", "b", command_break},
    {"info", "i", command_info},
    {"delete", "d", command_delete},
    {"where", nullptr, command_where},
    {"x", nullptr, command_examine},
    {"xf", nullptr, command_examine_flash},
    {"set", nullptr, command_set},
    {"load", nullptr, command_load},
    {"symbols", nullptr, command_symbols},
    {"uart", nullptr, command_uart},
};

const char kHelp[] =
    "reset               reset the chip; its firmware starts from flash\n"
    "halt (stop)         halt the core and show where\n"
    "continue (c)        let the core run; wait until it stops at a breakpoint\n"
    "                    (Ctrl-C or --wait returns to the prompt, the core runs on)\n"
    "step [N] (s)        execute N instructions (1), then show where\n"
    "break SYMBOL|ADDR   arm one of the four hardware breakpoints (b)\n"
    "info break          the armed breakpoints, by slot 0-3\n"
    "delete [N]          free breakpoint slot N (all slots without N)\n"
    "where               the routine and the instruction at the program counter\n"
    "x ADDR [LEN]        SRAM and registers as a hex dump (LEN bytes, 16)\n"
    "xf ADDR LEN         flash as a hex dump (the flash writer then holds the core)\n"
    "set ADDR HEXBYTES   write bytes to SRAM or registers (set 8000 0a0b0c)\n"
    "load FILE [ADDR]    download firmware into flash (raw at ADDR (0); ELF, HEX, S-record\n"
    "                    at their own addresses); reset to run it\n"
    "symbols [PATTERN]   the symbols whose name holds PATTERN\n"
    "uart                what the chip's UART sent since the last look\n"
    "help                this text\n"
    "quit                end the session (the core keeps its state)\n"
    "Addresses are hexadecimal or symbol names; counts are decimal (or 0x...).\n";

words split_words(const std::string &line) {
  words out;
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    if (i >= line.size()) break;
    std::size_t end = i;
    while (end < line.size() && line[end] != ' ' && line[end] != '\t') ++end;
    out.push_back(line.substr(i, end - i));
    i = end;
  }
  return out;
}

bool hex_digits_only(const std::string &text) {
  if (text.empty() || text.size() > 8) return false;
  for (char c : text)
    if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
  return true;
}

}  // namespace

bool fail(const std::string &why) {
  std::printf("error: %s\n", why.c_str());
  return false;
}

bool fail(const op_outcome &outcome) { return fail(outcome.failure); }

bool resolve_address(const session &s, const std::string &text, uint32_t *address) {
  if (find_symbol(s.symbols, text, address)) return true;
  std::string digits = text;
  if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X'))
    digits = digits.substr(2);
  if (!hex_digits_only(digits)) return false;
  *address = static_cast<uint32_t>(std::strtoul(digits.c_str(), nullptr, 16));
  return true;
}

bool parse_count(const std::string &text, uint32_t *count) {
  const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  const std::string digits = hex ? text.substr(2) : text;
  if (digits.empty() || digits.size() > 8) return false;
  for (char c : digits)
    if (hex ? !std::isxdigit(static_cast<unsigned char>(c))
            : !std::isdigit(static_cast<unsigned char>(c)))
      return false;
  *count = static_cast<uint32_t>(std::strtoul(digits.c_str(), nullptr, hex ? 16 : 10));
  return true;
}

std::string where_text(const session &s, uint32_t address) {
  char text[32];
  std::snprintf(text, sizeof text, "0x%.6x", address);
  const std::string name = describe_address(s.symbols, address);
  return name.empty() ? std::string(text) : std::string(text) + " " + name;
}

command_end run_command(session *s, const std::string &line) {
  const words w = split_words(line);
  command_end end = command_end::done;
  if (w.empty() || w[0][0] == '#') return end;
  if (w[0] == "quit" || w[0] == "q" || w[0] == "exit") return command_end::quit;
  if (w[0] == "help" || w[0] == "h" || w[0] == "?") {
    std::fputs(kHelp, stdout);
  } else {
    const command_entry *found = nullptr;
    for (const command_entry &entry : kCommands)
      if (w[0] == entry.name || (entry.short_name != nullptr && w[0] == entry.short_name))
        found = &entry;
    if (found == nullptr) {
      fail("unknown command \"" + w[0] + "\" (help lists them)");
      end = command_end::failed;
    } else if (!found->run(s, w)) {
      end = command_end::failed;
    }
  }
  std::fflush(stdout);
  return end;
}
