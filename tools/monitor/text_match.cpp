// SPDX-License-Identifier: Apache-2.0
#include "text_match.h"

#include <cstring>

bool text_match_start(text_match *match, const char *text) {
  size_t length = strlen(text);
  if (length == 0 || length > kMaxMatchText) return false;
  match->text = reinterpret_cast<const unsigned char *>(text);
  match->length = length;
  match->matched = 0;
  match->fallback[0] = 0;
  size_t border = 0;
  for (size_t i = 1; i < length; ++i) {
    while (border > 0 && match->text[i] != match->text[border]) {
      border = match->fallback[border - 1];
    }
    if (match->text[i] == match->text[border]) ++border;
    match->fallback[i] = border;
  }
  return true;
}

size_t text_match_feed(text_match *match, const unsigned char *bytes, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    size_t m = match->matched;
    while (m > 0 && bytes[i] != match->text[m]) m = match->fallback[m - 1];
    if (bytes[i] == match->text[m]) ++m;
    if (m == match->length) {
      match->matched = match->fallback[m - 1];
      return i + 1;
    }
    match->matched = m;
  }
  return 0;
}
