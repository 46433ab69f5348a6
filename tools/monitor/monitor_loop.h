// SPDX-License-Identifier: Apache-2.0
// The monitor's read loop: finds the device, takes what its data-in stream holds, hands it to
// the output, and rides out the device going away.
#ifndef ORVANE_MONITOR_LOOP_H
#define ORVANE_MONITOR_LOOP_H

#include "monitor_options.h"
#include "monitor_output.h"

// The exit status of a run that a signal stopped before --until's text came.
constexpr int kExitStoppedBeforeText = 3;

// Runs until a stop condition (Ctrl-C, --exit-after, --until, or a lost device with
// --no-reconnect).  Returns the exit status.
int run_monitor(const monitor_options &options, monitor_output *output);

#endif
