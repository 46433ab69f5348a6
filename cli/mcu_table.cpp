// SPDX-License-Identifier: Apache-2.0
// Reading config.ini into the MCU table and selecting a row by chip name.
#include "cli/mcu_table.h"

#include <cstring>

#include "base/state.h"
#include "cli/number.h"

namespace {

constexpr int kLineSize = 1024;
constexpr int kMaxTokens = 10;
constexpr int kSearchedRows = 256;

// Copies text into a field of the given size; false (field untouched) when it does not fit.
bool fits_and_copy(char *field, std::size_t size, const char *text) {
  std::size_t length = std::strlen(text);
  if (length >= size) return false;
  std::memcpy(field, text, length + 1);
  return true;
}

// True for a token that is nothing but the line end ("\n", "\r\n"): what is left after a
// trailing blank, and no field.
bool is_bare_line_end(const char *token) { return token[std::strspn(token, "\r\n")] == '\0'; }

// Blanks and tabs separate tokens; a line end stays part of the last token of the line.
int split_tokens(char *line, char *tokens[kMaxTokens]) {
  int count = 0;
  for (char *token = std::strtok(line, " \t"); token != nullptr && count < kMaxTokens;
       token = std::strtok(nullptr, " \t")) {
    // "MCU 1 x = 4710 \r\n" would otherwise be a row whose writer file is a line end.
    if (is_bare_line_end(token)) continue;
    tokens[count++] = token;
  }
  return count;
}

void store_row(char *tokens[kMaxTokens]) {
  if (mcu_count >= kMcuRows) return;
  mcu_row row{};
  // A field that is too long is not cut short: a truncated chip name could match the wrong
  // chip and a truncated writer file would load the wrong image, so the row is left out.
  if (!fits_and_copy(row.type_text, sizeof row.type_text, tokens[1]) ||
      !fits_and_copy(row.chip_name, sizeof row.chip_name, tokens[4]) ||
      !fits_and_copy(row.writer_file, sizeof row.writer_file, tokens[5]))
    return;
  mcu_table[mcu_count++] = row;
}

}  // namespace

void read_mcu_table(std::FILE *file) {
  mcu_count = 0;
  std::memset(mcu_table, 0, sizeof mcu_table);
  char line[kLineSize];
  // fgets semantics: a line longer than 1023 characters arrives in pieces, each a line.
  while (std::fgets(line, sizeof line, file) != nullptr) {
    char *tokens[kMaxTokens] = {};
    int count = split_tokens(line, tokens);
    // Tokens 1 to 6 must all be there: type, a free word, "=", chip name, writer file.
    if (count < 6) continue;
    if (std::strcmp(tokens[0], "MCU") != 0 || std::strcmp(tokens[3], "=") != 0) continue;
    store_row(tokens);
  }
}

bool select_mcu(const char *chip_name, int32_t *mcu_type) {
  std::memset(writer_path, 0, sizeof writer_path);
  for (int i = 0; i < mcu_count && i < kSearchedRows; ++i) {
    const mcu_row &row = mcu_table[i];
    if (std::strcmp(row.chip_name, chip_name) != 0) continue;
    *mcu_type = read_hex(row.type_text);
    std::memcpy(writer_path, row.writer_file, sizeof row.writer_file);
    return true;
  }
  return false;
}
