// SPDX-License-Identifier: Apache-2.0
// The command line of orvane-monitor, read into plain values.
#ifndef ORVANE_MONITOR_OPTIONS_H
#define ORVANE_MONITOR_OPTIONS_H

#include <cstddef>
#include <cstdint>

constexpr uint64_t kNoTimeLimit = UINT64_MAX;

struct monitor_options {
  bool timestamps = false;   // a time prefix at the start of each line
  bool hex = false;          // a hex dump instead of the raw bytes
  bool no_reconnect = false; // a missing or vanished device ends the run (exit status 1)
  bool help = false;
  bool version = false;
  bool usb = false;          // -u: the chip of --reset is on USB itself
  const char *log_path = nullptr;        // append the output here too
  const char *until = nullptr;           // stop once this text has been received
  const char *reset_chip = nullptr;      // --reset: reset this chip before watching
  uint64_t exit_after_ms = kNoTimeLimit; // stop after this long
};

// Reads argv[1..argc-1].  Returns false on a bad command line, with the reason (one line, no
// line feed) in error.
bool parse_monitor_options(int argc, char **argv, monitor_options *options, char *error,
                           size_t error_size);

// "2", "0.5", "1.25": seconds as a decimal number, at most three decimals, into milliseconds.
// Returns false for anything else (signs, exponents, more than a week).
bool parse_seconds(const char *text, uint64_t *milliseconds);

// The --help text.
extern const char kMonitorHelp[];

#endif
