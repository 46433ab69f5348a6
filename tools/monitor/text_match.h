// SPDX-License-Identifier: Apache-2.0
// Looks for one text in a byte stream that arrives in pieces: a match may span any number
// of reads, and a partial match that fails falls back as far as the text allows (so "aab" is
// found in "aaab").
#ifndef ORVANE_MONITOR_TEXT_MATCH_H
#define ORVANE_MONITOR_TEXT_MATCH_H

#include <cstddef>

constexpr size_t kMaxMatchText = 4096;

struct text_match {
  const unsigned char *text = nullptr;
  size_t length = 0;
  size_t matched = 0;               // bytes of text matched at the end of the stream so far
  size_t fallback[kMaxMatchText];   // longest proper border of text[0..i]
};

// Prepares a search for text (1 .. kMaxMatchText bytes; longer texts are refused).
bool text_match_start(text_match *match, const char *text);

// Feeds the next n bytes.  Returns how many of them, counted from the first, end with the
// text (1..n), or 0 when the text has not ended within them.
size_t text_match_feed(text_match *match, const unsigned char *bytes, size_t n);

#endif
