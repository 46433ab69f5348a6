// SPDX-License-Identifier: Apache-2.0
// What the companion does with Orvane's output as it arrives: splits it into lines,
// classifies each with the message catalogue, counts refusals and failures, and shows it in
// the chosen form.
#ifndef ORVANE_CHECK_LINE_RELAY_H
#define ORVANE_CHECK_LINE_RELAY_H

#include <cstddef>
#include <cstdint>
#include <string>

#include "tools/check/command_shape.h"

enum class display {
  passthrough,  // off a terminal: every byte as Orvane wrote it
  terminal,     // progress lines become one updating line
  quiet,        // no progress lines
  json,         // one JSON object per line
};

struct line_relay {
  display mode = display::passthrough;
  bool quiet = false;             // with json: leave out the progress lines' objects
  const char *step = "command";   // json "step" of each line: "command" or "verify"
  const char *label = "progress"; // what the progress line calls the step
  command_shape shape;            // for the progress lines' byte counts
  uint32_t started_ms = 0;  // base/platform.h's clock_ms: differences wrap safely

  std::string pending;            // a line still waiting for its line feed
  std::size_t bar_width = 0;      // characters of the progress line on screen (0: none)
  int refusals = 0;
  int failures = 0;
  unsigned completes = 0;         // kCompletes... bits of the completion lines seen
  std::string first_problem;      // the first refusal or failure line
};

// Starts a step: counters cleared, the clock started.
void relay_begin(line_relay *relay, const char *step, const char *label,
                 const command_shape &shape);
// Takes a piece of Orvane's output (an output_sink of base/child_process.h).
void relay_bytes(const char *bytes, std::size_t count, void *relay);
// The output has ended: a last line without a line feed is taken, the progress line closed.
void relay_end(line_relay *relay);

// The companion's own line (verify verdict): shown in every form but json, after the
// progress line is closed.
void relay_own_line(line_relay *relay, const std::string &text);

#endif
