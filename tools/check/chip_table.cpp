// SPDX-License-Identifier: Apache-2.0
#include "tools/check/chip_table.h"

#include <cstdio>

namespace {

// What Orvane keeps of a row: a type of at most 7 characters, a name of at most 7.
constexpr std::size_t kLongestField = 7;

std::vector<std::string> fields_of(const std::string &line) {
  std::vector<std::string> fields;
  std::string field;
  for (char c : line) {
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
      if (!field.empty()) fields.push_back(field);
      field.clear();
    } else {
      field += c;
    }
  }
  if (!field.empty()) fields.push_back(field);
  return fields;
}

bool hex_number(const std::string &text, uint32_t *value) {
  std::size_t i = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X') ? 2 : 0;
  if (i == text.size() || text.size() - i > 8) return false;
  uint32_t v = 0;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    const int digit = c >= '0' && c <= '9'   ? c - '0'
                      : c >= 'a' && c <= 'f' ? c - 'a' + 10
                      : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                             : -1;
    if (digit < 0) return false;
    v = v << 4 | static_cast<uint32_t>(digit);
  }
  *value = v;
  return true;
}

}  // namespace

bool read_chip_table(const std::string &path, std::vector<chip_row> *rows) {
  rows->clear();
  std::FILE *file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return false;
  std::string line;
  for (int c = 0; c != EOF;) {
    c = std::fgetc(file);
    if (c != EOF && c != '\n') {
      line += static_cast<char>(c);
      continue;
    }
    const std::vector<std::string> f = fields_of(line);
    line.clear();
    uint32_t type = 0;
    if (f.size() < 6 || f[0] != "MCU" || f[3] != "=" || f[1].size() > kLongestField ||
        f[4].size() > kLongestField || !hex_number(f[1], &type))
      continue;
    rows->push_back(chip_row{f[4], static_cast<int>(type)});
  }
  std::fclose(file);
  return true;
}

const chip_row *find_chip(const std::vector<chip_row> &rows, const std::string &name) {
  for (const chip_row &row : rows) {
    if (row.name == name) return &row;
  }
  return nullptr;
}

bool chip_identity(const std::string &name, uint32_t *identity) {
  return hex_number(name, identity);
}

const chip_row *chip_reporting(const std::vector<chip_row> &rows, uint32_t identity) {
  const uint32_t status = identity >> 8 & 0xff;
  const bool activated = (status == 'S' || status == 'U') && identity >> 16 == 0;
  for (const chip_row &row : rows) {
    uint32_t id = 0;
    if (!chip_identity(row.name, &id)) continue;
    if (id == identity || (activated && (id & 0xff) == (identity & 0xff) && id >> 16 == 0))
      return &row;
  }
  return nullptr;
}
