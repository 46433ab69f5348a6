// SPDX-License-Identifier: Apache-2.0
// What orvane-monitor writes for the bytes it receives: the bytes themselves, or a hex dump,
// with an optional time prefix on each line, to standard output and to the log file.
// Every piece of input is written and flushed at once, a partial line included, so a prompt
// or a line still being printed shows up without waiting for its line feed.
#ifndef ORVANE_MONITOR_OUTPUT_H
#define ORVANE_MONITOR_OUTPUT_H

#include <cstddef>
#include <cstdint>
#include <cstdio>

// Writes the time prefix ("[HH:MM:SS.mmm] ", NUL-terminated) into text.
using time_prefix_fn = void (*)(char *text, size_t size);

struct monitor_output {
  FILE *out = nullptr;
  FILE *log = nullptr;  // may be null
  bool hex = false;
  bool timestamps = false;
  time_prefix_fn time_prefix = nullptr;  // null: the time of day
  // Where the stream stands.
  bool at_line_start = true;
  bool mid_line = false;    // the raw output so far ends inside a line
  uint64_t offset = 0;      // bytes received so far (the hex dump's offset column)
  unsigned char row[16];    // the hex row being filled
  size_t row_fill = 0;
  bool failed = false;      // a write to out or log failed
};

// Formats n received bytes and writes them to out and log, then flushes both.
// Returns false once any write has failed.
bool output_bytes(monitor_output *output, const unsigned char *bytes, size_t n);

// Ends a raw output that stops inside a line with a line feed (as when --until's text is
// found mid-line), so what follows on the terminal or in the log starts a line of its own.
bool output_end_line(monitor_output *output);

// At the end of the run: a partial hex row gets its text column and line feed.
bool output_finish(monitor_output *output);

// The time of day as "[HH:MM:SS.mmm] ".
void time_of_day_prefix(char *text, size_t size);

#endif
