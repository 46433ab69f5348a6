// SPDX-License-Identifier: Apache-2.0
#include "tools/check/json_text.h"

#include <cstdio>

namespace {

void append_escape(std::string *out, unsigned value) {
  char escape[8];
  std::snprintf(escape, sizeof escape, "\\u%04x", value);
  *out += escape;
}

// Length of the well-formed UTF-8 sequence at text[i], or 0 when there is none (overlong
// forms, surrogates and values above U+10FFFF are not well formed).
std::size_t utf8_length(const std::string &text, std::size_t i) {
  const unsigned char lead = static_cast<unsigned char>(text[i]);
  std::size_t length = 0;
  unsigned low = 0x80, high = 0xbf;  // range of the second byte
  if (lead >= 0xc2 && lead <= 0xdf) {
    length = 2;
  } else if (lead >= 0xe0 && lead <= 0xef) {
    length = 3;
    if (lead == 0xe0) low = 0xa0;
    if (lead == 0xed) high = 0x9f;
  } else if (lead >= 0xf0 && lead <= 0xf4) {
    length = 4;
    if (lead == 0xf0) low = 0x90;
    if (lead == 0xf4) high = 0x8f;
  } else {
    return 0;
  }
  if (i + length > text.size()) return 0;
  for (std::size_t k = 1; k < length; ++k) {
    const unsigned char c = static_cast<unsigned char>(text[i + k]);
    if (c < (k == 1 ? low : 0x80) || c > (k == 1 ? high : 0xbf)) return 0;
  }
  return length;
}

}  // namespace

void append_json_string(std::string *out, const std::string &text) {
  *out += '"';
  for (std::size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c >= 0x80) {
      const std::size_t length = utf8_length(text, i);
      if (length == 0) {
        append_escape(out, c);
        ++i;
      } else {
        out->append(text, i, length);
        i += length;
      }
      continue;
    }
    switch (c) {
      case '"': *out += "\\\""; break;
      case '\\': *out += "\\\\"; break;
      case '\n': *out += "\\n"; break;
      case '\r': *out += "\\r"; break;
      case '\t': *out += "\\t"; break;
      default:
        if (c < 0x20 || c == 0x7f) {
          append_escape(out, c);
        } else {
          *out += static_cast<char>(c);
        }
    }
    ++i;
  }
  *out += '"';
}
