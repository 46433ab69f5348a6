// SPDX-License-Identifier: Apache-2.0
#include "tools/check/options.h"

#include <cstring>

#include "tools/check/flash_bounds.h"

bool parse_options(int argc, char **argv, check_options *options, std::string *error) {
  int i = 1;
  for (; i < argc; ++i) {
    const std::string word = argv[i];
    if (word == "--") {
      ++i;
      break;
    }
    if (word.compare(0, 2, "--") != 0 && word != "-h") break;
    if (word == "--verify") {
      options->verify = true;
    } else if (word == "--quiet") {
      options->quiet = true;
    } else if (word == "--json") {
      options->json = true;
    } else if (word == "--dry-run") {
      options->dry_run = true;
    } else if (word == "--help" || word == "-h") {
      options->help = true;
      return true;
    } else if (word == "--version") {
      options->version = true;
      return true;
    } else if (word == "--orvane" && i + 1 < argc && argv[i + 1][0] != '\0') {
      options->orvane = argv[++i];
    } else if (word.compare(0, 9, "--orvane=") == 0 && word.size() > 9) {
      options->orvane = word.substr(9);
    } else if (word == "--flash-size") {
      if (i + 1 >= argc || !parse_flash_size(argv[++i], &options->flash_size)) {
        *error = "--flash-size needs the flash size in bytes (1048576, 0x100000 or 1M)";
        return false;
      }
    } else if (word == "--orvane" || word == "--orvane=") {
      *error = "--orvane needs the path of the Orvane program";
      return false;
    } else {
      *error = "unknown option " + word;
      return false;
    }
  }
  for (; i < argc; ++i) options->command.push_back(argv[i]);
  if (options->command.empty()) {
    *error = "no Orvane command given";
    return false;
  }
  return true;
}

std::string usage_text(const char *line_end) {
  static const char *const kLines[] = {
      "usage: orvane-check [options] [--] CHIP COMMAND ARGS...",
      "       orvane-check [options] [--] CODE OBJECT ADDRESS MODE ROW PARA1 [PARA2]",
      "",
      "Runs one Orvane command, relays its console lines and exits with a status that",
      "says how it went.",
      "",
      "FILE after -i may be a raw binary, or a file that carries its own addresses",
      "(ELF, Intel HEX, S-record: give CHIP wf 0 -i FILE): its bytes go to flash or",
      "SRAM by their addresses, one Orvane download per contiguous run.",
      "",
      "options:",
      "  --verify       after a download to flash (CHIP wf ADDR -i FILE), read the range",
      "                 back and compare it with FILE",
      "  --quiet        leave out the progress lines",
      "  --json         one JSON object per console line, then one with the outcome",
      "  --dry-run      show the downloads a firmware file needs, run nothing",
      "  --flash-size SIZE  the chip's flash size (1048576, 0x100000 or 1M): a download",
      "                 or erase that would run past its end is refused, not run",
      "  --orvane PATH  the Orvane program to run (default: the one installed beside",
      "                 orvane-check)",
      "  --help         this text",
      "  --version      the version",
      "",
      "exit status:",
      "  0  success",
      "  1  the operation reported a failure",
      "  2  the command line or the firmware file was refused, or orvane-check's own",
      "     options were wrong",
      "  3  --verify found a difference",
      "  4  Orvane could not be run",
  };
  std::string text;
  for (const char *line : kLines) {
    text += line;
    text += line_end;
  }
  return text;
}
