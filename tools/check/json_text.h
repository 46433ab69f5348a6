// SPDX-License-Identifier: Apache-2.0
// JSON strings for whatever bytes a console line holds.
#ifndef ORVANE_CHECK_JSON_TEXT_H
#define ORVANE_CHECK_JSON_TEXT_H

#include <string>

// Appends text as a quoted JSON string.  Control bytes, the quote and the backslash are
// escaped; valid UTF-8 passes as it is; any other byte (a lone 0x80..0xff) stands for the
// character of the same value (Latin-1) as a \u00XX escape, so the result is always valid
// JSON and no byte is lost.
void append_json_string(std::string *out, const std::string &text);

#endif
