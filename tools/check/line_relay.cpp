// SPDX-License-Identifier: Apache-2.0
#include "tools/check/line_relay.h"

#include <cstdio>

#include "base/platform.h"
#include "tools/check/json_text.h"
#include "tools/check/line_kind.h"
#include "tools/check/platform.h"
#include "tools/check/progress_meter.h"

namespace {

void write_out(const std::string &text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
}

// Ends the progress line where it stands, so the next line starts below it.
void close_bar(line_relay *relay) {
  if (relay->bar_width == 0) return;
  write_out(kLineEnd);
  relay->bar_width = 0;
}

void show_bar(line_relay *relay, uint64_t done) {
  std::string text =
      progress_text(relay->label, done, relay->shape.total, clock_ms() - relay->started_ms);
  const std::size_t width = text.size();
  // Blanks over what a longer earlier line left behind.
  if (width < relay->bar_width) text.append(relay->bar_width - width, ' ');
  write_out("\r" + text);
  relay->bar_width = width;
}

void write_json_line(const line_relay &relay, const std::string &text, const classified_line &c) {
  std::string object = "{\"number\":";
  object += c.number == kUnnumbered ? "null" : std::to_string(c.number);
  object += ",\"text\":";
  append_json_string(&object, text);
  object += ",\"kind\":\"";
  object += kind_name(c.kind);
  object += "\",\"step\":\"";
  object += relay.step;
  object += "\"}\n";
  write_out(object);
}

// One line with its line feed (raw), as Orvane wrote it.
void take_line(line_relay *relay, const std::string &raw) {
  std::string text = raw;
  if (!text.empty() && text.back() == '\n') text.pop_back();
  if (!text.empty() && text.back() == '\r') text.pop_back();
  const classified_line c = classify_line(text);
  if (c.kind == message_kind::refusal) ++relay->refusals;
  if (c.kind == message_kind::failure) ++relay->failures;
  if (c.kind == message_kind::completion) relay->completes |= c.completes;
  if ((c.kind == message_kind::refusal || c.kind == message_kind::failure) &&
      relay->first_problem.empty())
    relay->first_problem = text;

  const bool progress = c.kind == message_kind::progress;
  switch (relay->mode) {
    case display::passthrough:
      break;  // written as it arrived
    case display::json:
      if (!text.empty() && !(progress && relay->quiet)) write_json_line(*relay, text, c);
      break;
    case display::quiet:
      if (!progress) write_out(raw);
      break;
    case display::terminal: {
      uint64_t done = 0;
      if (progress && progress_bytes(relay->shape, text, &done)) {
        show_bar(relay, done);
      } else if (!(text.empty() && relay->bar_width != 0)) {
        // The blank line that opens many of Orvane's messages would only push the closed
        // progress line further up.
        close_bar(relay);
        write_out(raw);
      }
      break;
    }
  }
}

}  // namespace

void relay_begin(line_relay *relay, const char *step, const char *label,
                 const command_shape &shape) {
  relay->step = step;
  relay->label = label;
  relay->shape = shape;
  relay->started_ms = clock_ms();
  relay->pending.clear();
  relay->refusals = 0;
  relay->failures = 0;
  relay->completes = 0;
  relay->first_problem.clear();
}

void relay_bytes(const char *bytes, std::size_t count, void *context) {
  line_relay *relay = static_cast<line_relay *>(context);
  if (relay->mode == display::passthrough) {
    std::fwrite(bytes, 1, count, stdout);
    std::fflush(stdout);
  }
  for (std::size_t i = 0; i < count; ++i) {
    relay->pending += bytes[i];
    if (bytes[i] == '\n') {
      take_line(relay, relay->pending);
      relay->pending.clear();
    }
  }
}

void relay_end(line_relay *relay) {
  if (!relay->pending.empty()) {
    take_line(relay, relay->pending);
    // Orvane's last line had no line feed; the next line must not continue it.
    if (relay->mode != display::json && relay->mode != display::passthrough &&
        relay->bar_width == 0)
      write_out(kLineEnd);
    relay->pending.clear();
  }
  close_bar(relay);
}

void relay_own_line(line_relay *relay, const std::string &text) {
  if (relay->mode == display::json) return;
  close_bar(relay);
  write_out(text + kLineEnd);
}
