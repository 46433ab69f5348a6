// SPDX-License-Identifier: Apache-2.0
// orvane-debug: an interactive debug session on a chip, over Orvane's operations.
#include <cstdio>
#include <string>

#include "tools/check/locate_orvane.h"
#include "tools/check/platform.h"
#include "tools/debug/debug_options.h"
#include "tools/debug/interrupt.h"
#include "tools/debug/line_input.h"
#include "tools/debug/session.h"

#ifndef ORVANE_DEBUG_VERSION
#define ORVANE_DEBUG_VERSION "0"
#endif

namespace {

constexpr int kExitSuccess = 0;
constexpr int kExitFailure = 1;  // a command failed
constexpr int kExitUsage = 2;    // the command line, a symbol file or Orvane itself

int usage_error(const std::string &why) {
  std::fprintf(stderr, "orvane-debug: %s\n%s", why.c_str(), debug_usage());
  return kExitUsage;
}

// Commands without a prompt: the first failure ends the run.
int run_script_line(session *s, const std::string &line, bool *quit) {
  const command_end end = run_command(s, line);
  *quit = end != command_end::done;
  return end == command_end::failed ? kExitFailure : kExitSuccess;
}

int run_script(session *s, const debug_options &options) {
  bool quit = false;
  for (const std::string &command : options.commands) {
    const int status = run_script_line(s, command, &quit);
    if (quit) return status;
  }
  std::FILE *file = stdin;
  if (!options.script.empty()) {
    file = std::fopen(options.script.c_str(), "rb");
    if (file == nullptr) return usage_error("cannot read " + options.script);
  } else if (!options.commands.empty()) {
    return kExitSuccess;
  }
  std::string line;
  int status = kExitSuccess;
  while (!quit && read_script_line(file, &line)) status = run_script_line(s, line, &quit);
  if (file != stdin) std::fclose(file);
  return status;
}

int run_interactive(session *s) {
  // Ctrl-C ends a waiting `continue`, never the session (quit or the end of input does).
  catch_interrupt();
  std::string line;
  while (read_terminal_line("(orvane-debug) ", &line)) {
    if (run_command(s, line) == command_end::quit) return kExitSuccess;
  }
  std::printf("\n");
  return kExitSuccess;
}

}  // namespace

int main(int argc, char **argv) {
  prepare_output();
  debug_options options;
  std::string error;
  if (!parse_debug_options(argc, argv, &options, &error)) return usage_error(error);
  if (options.help) {
    std::fputs(debug_usage(), stdout);
    return kExitSuccess;
  }
  if (options.version) {
    std::printf("orvane-debug %s\n", ORVANE_DEBUG_VERSION);
    return kExitSuccess;
  }

  session s;
  s.link.chip = options.chip;
  s.link.usb = options.usb;
  s.link.listing = options.listing;
  s.wait_seconds = options.wait_seconds;
  std::string searched;
  s.link.program = locate_orvane(&searched);
  if (s.link.program.empty()) return usage_error("Orvane not found (looked in " + searched + ")");
  if (!options.listing.empty() && !add_listing_symbols(options.listing, &s.symbols, &error))
    return usage_error(error);
  if (!options.elf.empty() && !add_elf_symbols(options.elf, &s.symbols, &error))
    return usage_error(error);

  const bool scripted = !options.commands.empty() || !options.script.empty() ||
                        !input_is_terminal();
  return scripted ? run_script(&s, options) : run_interactive(&s);
}
