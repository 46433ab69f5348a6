// SPDX-License-Identifier: Apache-2.0
// orvane-debug's command line.
#ifndef ORVANE_DEBUG_DEBUG_OPTIONS_H
#define ORVANE_DEBUG_DEBUG_OPTIONS_H

#include <string>
#include <vector>

struct debug_options {
  std::string chip;
  bool usb = false;
  std::string listing;
  std::string elf;
  std::vector<std::string> commands;  // -c, in order
  std::string script;                 // -x
  double wait_seconds = 0;            // --wait; 0: a continue waits until stopped or Ctrl-C
  bool help = false;
  bool version = false;
};

// False, with the reason in *error, for a line that cannot be used.
bool parse_debug_options(int argc, char **argv, debug_options *options, std::string *error);

const char *debug_usage();

#endif
