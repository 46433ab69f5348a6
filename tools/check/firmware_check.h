// SPDX-License-Identifier: Apache-2.0
// Downloads of firmware files that carry their own addresses (ELF, Intel HEX, S-record), and
// --dry-run: the file is read and planned (download_plan.h) before anything runs, each run
// goes to Orvane as a raw binary in a temporary file, each flash run is verified on request.
#ifndef ORVANE_CHECK_FIRMWARE_CHECK_H
#define ORVANE_CHECK_FIRMWARE_CHECK_H

#include "tools/check/options.h"

// True when the run belongs here: --dry-run, or a download whose file carries addresses.
bool firmware_check_wanted(const check_options &options);

// The whole run, to its exit status (check_run.h's statuses).
int run_firmware_check(const check_options &options);

#endif
