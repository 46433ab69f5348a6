// Every console line Orvane can print that says how a run went: the numbered messages, and
// the few unnumbered progress, result and failure lines, each with its kind.  The companion
// classifies a line by its number when it has one, else by matching the fixed text.
#ifndef ORVANE_CHECK_MESSAGE_CATALOGUE_H
#define ORVANE_CHECK_MESSAGE_CATALOGUE_H

#include <cstddef>
#include <string>

enum class message_kind { failure, refusal, progress, result };

constexpr int kUnnumbered = -1;

struct catalogue_entry {
  int number;          // the number in " [N]:", or kUnnumbered
  message_kind kind;
  const char *format;  // the message exactly as the program's printf format holds it
};

// The whole catalogue, in number order, unnumbered lines last.
const catalogue_entry *catalogue_entries(std::size_t *count);

const char *kind_name(message_kind kind);

struct classified_line {
  int number;  // kUnnumbered when the line carries none
  message_kind kind;
};

// Classifies one console line (without its line end; a trailing carriage return is ignored).
// A number the catalogue does not know, and any unrecognised line (a hex dump, a listing
// line, the help text), count as result.
classified_line classify_line(const std::string &line);

// True when the line matches one line of a printf format: %d, %x and %.6x stand for their
// digits, %s for any text.
bool matches_format_line(const std::string &line, const char *format);

#endif
