// SPDX-License-Identifier: Apache-2.0
// One companion run: Orvane's command, the optional read-back, the exit status.
#ifndef ORVANE_CHECK_CHECK_RUN_H
#define ORVANE_CHECK_CHECK_RUN_H

#include <cstdint>
#include <string>
#include <vector>

#include "tools/check/line_relay.h"
#include "tools/check/options.h"
#include "tools/check/verify_compare.h"

enum exit_status {
  kExitSuccess = 0,
  kExitFailure = 1,     // the operation reported a failure
  kExitRefused = 2,     // the command line was refused (or the companion's own options)
  kExitDifference = 3,  // verify found a difference
  kExitNotRun = 4,      // Orvane could not be run
};

// Runs the command of the options and returns the exit status.
int run_check(const check_options &options);

// The closing JSON object of a run that never reached Orvane (wrong options).
void print_json_closing_for_usage(const char *error, int status);

// --- The steps of a run, shared with the firmware-file driver (firmware_check.h) ------------

struct run_report {
  int status = kExitSuccess;
  long orvane_exit_code = -1;  // -1: Orvane did not run to its end
  uint64_t command_ms = 0;
  bool verified = false;
  verify_result verify;
  uint64_t verify_ms = 0;
  std::string error;           // the companion's own complaint, if any
  std::string hint;            // a failure's likely cause (chip_hint.h), if any
};

// The relay in the form the options ask for.
line_relay relay_for(const check_options &options);

// Runs one Orvane command through the relay and judges it; with verify, reads a flash
// download back and compares it.  A failure of a character command is followed by the chip
// hint.  The outcome goes into *report.
void run_command(const std::string &orvane, const std::vector<std::string> &command, bool verify,
                 line_relay *relay, run_report *report);

// The companion's own complaint, on standard error.
void print_error(const std::string &text);

// The closing JSON object; extra holds further members (",\"plan\":...") for its end.
void print_json_closing(const run_report &report, bool verify_asked, uint64_t elapsed_ms,
                        const std::string &extra = std::string());

#endif
