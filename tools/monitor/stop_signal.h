// SPDX-License-Identifier: Apache-2.0
// Ctrl-C (SIGINT) and SIGTERM ask the monitor to stop: the handler only sets a flag, and the
// read loop ends at its next turn, so the output is completed and flushed and the log closed.
#ifndef ORVANE_MONITOR_STOP_SIGNAL_H
#define ORVANE_MONITOR_STOP_SIGNAL_H

void catch_stop_signals();
bool stop_requested();

#endif
