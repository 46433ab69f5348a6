// SPDX-License-Identifier: Apache-2.0
#include "monitor_output.h"

#include <chrono>
#include <ctime>

namespace {

constexpr size_t kRowBytes = 16;

void emit(monitor_output *output, const char *text, size_t n) {
  if (n == 0) return;
  if (fwrite(text, 1, n, output->out) != n) output->failed = true;
  if (output->log != nullptr && fwrite(text, 1, n, output->log) != n) output->failed = true;
}

void emit_text(monitor_output *output, const char *text) {
  size_t n = 0;
  while (text[n] != '\0') ++n;
  emit(output, text, n);
}

void emit_time(monitor_output *output) {
  char text[64];
  (output->time_prefix != nullptr ? output->time_prefix : time_of_day_prefix)(text, sizeof text);
  emit_text(output, text);
}

// Raw text: runs of bytes as they are, a time prefix before each line's first byte.
void raw_bytes(monitor_output *output, const unsigned char *bytes, size_t n) {
  const char *text = reinterpret_cast<const char *>(bytes);
  if (n > 0) output->mid_line = bytes[n - 1] != '\n';
  if (!output->timestamps) {
    emit(output, text, n);
    return;
  }
  size_t start = 0;
  while (start < n) {
    if (output->at_line_start) emit_time(output);
    size_t end = start;
    while (end < n && bytes[end] != '\n') ++end;
    output->at_line_start = end < n;
    if (end < n) ++end;  // the line feed ends this line
    emit(output, text + start, end - start);
    start = end;
  }
}

// The text column of the row so far, padded to full width, and the line feed.
void close_row(monitor_output *output) {
  char line[3 * kRowBytes + 2 + 2 + kRowBytes + 2 + 1];
  size_t at = 0;
  for (size_t i = output->row_fill; i < kRowBytes; ++i) {
    if (i == kRowBytes / 2) line[at++] = ' ';
    line[at++] = ' ';
    line[at++] = ' ';
    line[at++] = ' ';
  }
  line[at++] = ' ';
  line[at++] = ' ';
  line[at++] = '|';
  for (size_t i = 0; i < output->row_fill; ++i) {
    unsigned char c = output->row[i];
    line[at++] = c >= 0x20 && c < 0x7f ? char(c) : '.';
  }
  line[at++] = '|';
  line[at++] = '\n';
  emit(output, line, at);
  output->row_fill = 0;
}

// Hex dump rows: "OFFSET   hh hh ... hh  hh ... hh  |text|"; each byte's column is written
// as the byte arrives, the text column once the row is full.
void hex_bytes(monitor_output *output, const unsigned char *bytes, size_t n) {
  static const char digits[] = "0123456789abcdef";
  for (size_t i = 0; i < n; ++i) {
    if (output->row_fill == 0) {
      if (output->timestamps) emit_time(output);
      char head[24];
      int len = snprintf(head, sizeof head, "%08llx ", static_cast<unsigned long long>(output->offset));
      emit(output, head, size_t(len));
    }
    char cell[4];
    size_t len = 0;
    if (output->row_fill == kRowBytes / 2) cell[len++] = ' ';
    cell[len++] = ' ';
    cell[len++] = digits[bytes[i] >> 4];
    cell[len++] = digits[bytes[i] & 15];
    emit(output, cell, len);
    output->row[output->row_fill++] = bytes[i];
    ++output->offset;
    if (output->row_fill == kRowBytes) close_row(output);
  }
}

bool flush_all(monitor_output *output) {
  if (fflush(output->out) != 0) output->failed = true;
  if (output->log != nullptr && fflush(output->log) != 0) output->failed = true;
  return !output->failed;
}

}  // namespace

bool output_bytes(monitor_output *output, const unsigned char *bytes, size_t n) {
  if (output->hex) {
    hex_bytes(output, bytes, n);
  } else {
    raw_bytes(output, bytes, n);
    output->offset += n;
  }
  return flush_all(output);
}

bool output_end_line(monitor_output *output) {
  if (output->hex || !output->mid_line) return !output->failed;
  emit(output, "\n", 1);
  output->mid_line = false;
  output->at_line_start = true;
  return flush_all(output);
}

bool output_finish(monitor_output *output) {
  if (output->hex && output->row_fill > 0) close_row(output);
  return flush_all(output);
}

void time_of_day_prefix(char *text, size_t size) {
  using namespace std::chrono;
  system_clock::time_point now = system_clock::now();
  std::time_t seconds = system_clock::to_time_t(now);
  long millis = long(duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000);
  std::tm local{};
#if defined(_WIN32)
  localtime_s(&local, &seconds);
#else
  localtime_r(&seconds, &local);
#endif
  snprintf(text, size, "[%02d:%02d:%02d.%03ld] ", local.tm_hour, local.tm_min, local.tm_sec,
           millis);
}
