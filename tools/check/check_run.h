// One companion run: Orvane's command, the optional read-back, the exit status.
#ifndef ORVANE_CHECK_CHECK_RUN_H
#define ORVANE_CHECK_CHECK_RUN_H

#include "tools/check/options.h"

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

#endif
