// SPDX-License-Identifier: Apache-2.0
// Orvane's lines read with the program's message table.
#include "tools/check/line_kind.h"

#include <cctype>
#include <cstring>

namespace {

// The number of " [N]:" at the start of a line (after blanks), or kUnnumbered.
int line_number(const std::string &line) {
  std::size_t i = 0;
  while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
  if (i >= line.size() || line[i] != '[') return kUnnumbered;
  long value = 0;
  std::size_t digits = 0;
  for (++i; i < line.size() && std::isdigit(static_cast<unsigned char>(line[i])); ++i) {
    if (++digits > 6) return kUnnumbered;
    value = value * 10 + (line[i] - '0');
  }
  if (digits == 0 || line.compare(i, 2, "]:") != 0) return kUnnumbered;
  return static_cast<int>(value);
}

bool is_hex_digit(char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }
bool is_dec_digit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }

// Matches text[t..] against format[f..end); conversions as in matches_format_line.
bool match_from(const std::string &text, std::size_t t, const char *f, const char *end) {
  while (f < end) {
    if (*f != '%') {
      if (t >= text.size() || text[t] != *f) return false;
      ++t;
      ++f;
      continue;
    }
    ++f;
    while (f < end && (*f == '.' || is_dec_digit(*f))) ++f;  // "%.6x": width and precision
    if (f >= end) return false;
    const char conversion = *f++;
    if (conversion == 's') {
      for (std::size_t k = text.size(); k + 1 > t; --k) {
        if (match_from(text, k, f, end)) return true;
      }
      return false;
    }
    std::size_t start = t;
    if (conversion == 'd' && t < text.size() && text[t] == '-') ++t;
    while (t < text.size() && (conversion == 'x' ? is_hex_digit(text[t]) : is_dec_digit(text[t])))
      ++t;
    if (t == start || (conversion == 'd' && t == start + 1 && text[start] == '-')) return false;
  }
  return t == text.size();
}

// The console form of an entry: its format, or the way its pieces show together.
const char *console_form(const message_entry &entry) {
  return entry.shown != nullptr ? entry.shown : entry.format;
}

}  // namespace

const char *kind_name(message_kind kind) {
  switch (kind) {
    case message_kind::failure: return "failure";
    case message_kind::refusal: return "refusal";
    case message_kind::progress: return "progress";
    // The JSON name of completion lines and plain text, as scripts already read it.
    default: return "result";
  }
}

bool matches_format_line(const std::string &line, const char *format) {
  // Each line of the format is tried on its own: "\n Total Time: %d ms \t\n" prints an
  // empty line and then the line that says something.
  const char *piece = format;
  for (;;) {
    const char *end = std::strchr(piece, '\n');
    if (end == nullptr) end = piece + std::strlen(piece);
    if (end > piece && match_from(line, 0, piece, end)) return true;
    if (*end == '\0') return false;
    piece = end + 1;
  }
}

classified_line classify_line(const std::string &raw) {
  std::string line = raw;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  classified_line result{line_number(line), line.empty(), message_kind::completion, 0};
  if (result.blank) return result;
  std::size_t count = 0;
  const message_entry *table = message_table(&count);
  if (result.number != kUnnumbered) {
    for (std::size_t i = 0; i < count; ++i) {
      if (table[i].number == result.number) {
        result.kind = table[i].kind;
        return result;
      }
    }
    result.kind = message_kind::failure;
    return result;
  }
  // " Total Time: 5 ms" is the line of two entries (erase, and a flash write's "\n Total
  // Time"): it completes either command.  Different unnumbered lines never share a text
  // with different kinds.
  bool matched = false;
  for (std::size_t i = 0; i < count; ++i) {
    const message_entry &entry = table[i];
    if (entry.number != kUnnumbered || *console_form(entry) == '\0') continue;
    if (!matches_format_line(line, console_form(entry))) continue;
    result.kind = entry.kind;
    result.completes |= entry.completes;
    matched = true;
  }
  if (!matched) result.completes = message_of(msg::text_line).completes;
  return result;
}
