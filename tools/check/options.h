// SPDX-License-Identifier: Apache-2.0
// The companion's own command line: options, then the Orvane command.
#ifndef ORVANE_CHECK_OPTIONS_H
#define ORVANE_CHECK_OPTIONS_H

#include <cstdint>
#include <string>
#include <vector>

struct check_options {
  std::string orvane;   // --orvane PATH (empty: look beside the companion)
  bool verify = false;
  bool quiet = false;
  bool json = false;
  bool help = false;
  bool dry_run = false;  // show the plan of a download, run nothing
  bool version = false;
  uint64_t flash_size = 0;            // --flash-size (0: not known)
  std::vector<std::string> command;  // CHIP COMMAND ARGS... or the numeric form
};

// Options come first; the first word that is not one (or the word after "--") starts the
// Orvane command.  False with *error set when the line is wrong.
bool parse_options(int argc, char **argv, check_options *options, std::string *error);

// The help text (exit statuses included), with the line end given.
std::string usage_text(const char *line_end);

#endif
