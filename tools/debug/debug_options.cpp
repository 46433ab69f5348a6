// SPDX-License-Identifier: Apache-2.0
// orvane-debug [options] CHIP [-u] [--listing FILE.lst] [--elf FILE]: options in any order.
#include "tools/debug/debug_options.h"

#include <cstdlib>
#include <cstring>

bool parse_debug_options(int argc, char **argv, debug_options *options, std::string *error) {
  for (int i = 1; i < argc; ++i) {
    const std::string word = argv[i];
    // An option with a value never reads past the last argument.
    const bool has_value = i + 1 < argc;
    if (word == "-h" || word == "--help") {
      options->help = true;
    } else if (word == "--version") {
      options->version = true;
    } else if (word == "-u") {
      options->usb = true;
    } else if (word == "--listing" || word == "--elf" || word == "-c" || word == "-x" ||
               word == "--wait") {
      if (!has_value) {
        *error = word + " needs a value";
        return false;
      }
      const std::string value = argv[++i];
      if (word == "--listing") options->listing = value;
      if (word == "--elf") options->elf = value;
      if (word == "-c") options->commands.push_back(value);
      if (word == "-x") options->script = value;
      if (word == "--wait") {
        char *end = nullptr;
        options->wait_seconds = std::strtod(value.c_str(), &end);
        if (value.empty() || *end != '\0' || !(options->wait_seconds > 0) ||
            options->wait_seconds > 86400) {
          *error = "--wait takes seconds, more than 0 and at most 86400";
          return false;
        }
      }
    } else if (word.size() > 1 && word[0] == '-') {
      *error = "unknown option " + word;
      return false;
    } else if (options->chip.empty()) {
      options->chip = word;
    } else {
      *error = "one chip only (" + options->chip + " and " + word + ")";
      return false;
    }
  }
  if (options->chip.empty() && !options->help && !options->version) {
    *error = "no chip named (a chip name of config.ini, such as 4710)";
    return false;
  }
  return true;
}

const char *debug_usage() {
  return "usage: orvane-debug [options] CHIP [-u] [--listing FILE.lst] [--elf FILE]\n"
         "\n"
         "An interactive debug session on the chip CHIP (a chip name of Orvane's config.ini),\n"
         "reached through an EVK probe, or directly over USB with -u.\n"
         "\n"
         "options:\n"
         "  -u                 the chip itself is attached over USB (usb mode)\n"
         "  --listing FILE     the firmware's .lst listing: symbols and `where`\n"
         "  --elf FILE         the firmware's ELF file: more symbols\n"
         "  -c COMMAND         run COMMAND without a prompt (repeatable, in order)\n"
         "  -x FILE            run the commands of FILE without a prompt\n"
         "  --wait SECONDS     a `continue` waits at most this long for a breakpoint\n"
         "  -h, --help         this text\n"
         "  --version          the version\n"
         "\n"
         "With -c or -x, or with commands on standard input, every command prints its result\n"
         "line; the first failure ends the run with exit status 1, else the status is 0.\n"
         "Type `help` in the session for its commands.\n";
}
