// SPDX-License-Identifier: Apache-2.0
// One line of a script, of any length, without its line end (LF or CR LF).
#include "tools/debug/line_input.h"

bool read_script_line(std::FILE *file, std::string *line) {
  line->clear();
  int c;
  bool any = false;
  while ((c = std::fgetc(file)) != EOF) {
    any = true;
    if (c == '\n') break;
    line->push_back(static_cast<char>(c));
  }
  if (!line->empty() && line->back() == '\r') line->pop_back();
  return any;
}
