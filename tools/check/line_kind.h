// SPDX-License-Identifier: Apache-2.0
// What one of Orvane's console lines says, read with the program's own message table.
#ifndef ORVANE_CHECK_LINE_KIND_H
#define ORVANE_CHECK_LINE_KIND_H

#include <string>

#include "base/messages.h"

struct classified_line {
  int number;          // kUnnumbered when the line carries none
  bool blank;          // an empty line: says nothing
  message_kind kind;
  unsigned completes;  // kCompletes... bits, for a completion line
};

// Classifies one console line (without its line end; a trailing carriage return is ignored).
// A numbered line takes the kind of its number; a number the table does not know is a
// failure (a line of a newer or a broken program is never taken for success).  An unnumbered
// line takes the kind of the lines it matches (their completion bits together); a line that
// matches none is plain text: the listing lines of pc, the help text.
classified_line classify_line(const std::string &line);

const char *kind_name(message_kind kind);

// True when the line matches one line of a printf format: %d, %x and %.6x stand for their
// digits, %s for any text.
bool matches_format_line(const std::string &line, const char *format);

#endif
