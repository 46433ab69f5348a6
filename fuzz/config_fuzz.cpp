// SPDX-License-Identifier: Apache-2.0
// config.ini into the MCU table, and the chip lookup, against a naive scan of the same bytes:
// lines as fgets delivers them (at most 1023 characters, a NUL ends the text), fields split at
// blanks and tabs, a field that is nothing but the line end skipped.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli/mcu_table.h"
#include "cli/number.h"
#include "base/state.h"
#include "fuzz/fuzz_check.h"

namespace {

struct naive_row {
  std::string type, chip, writer;
};

std::vector<std::string> naive_fields(const std::string &line) {
  std::vector<std::string> fields;
  std::string field;
  for (size_t i = 0; i <= line.size() && fields.size() < 10; ++i) {
    if (i < line.size() && line[i] != ' ' && line[i] != '\t') {
      field += line[i];
      continue;
    }
    if (!field.empty() && field.find_first_not_of("\r\n") != std::string::npos)
      fields.push_back(field);
    field.clear();
  }
  return fields;
}

std::vector<naive_row> naive_table(const uint8_t *data, size_t size) {
  std::vector<naive_row> rows;
  for (size_t pos = 0; pos < size;) {
    size_t length = 0;
    while (pos + length < size && length < 1023) {
      if (data[pos + length++] == '\n') break;
    }
    std::string line(reinterpret_cast<const char *>(data + pos), length);
    pos += length;
    line = line.c_str();  // the reader sees the text up to a NUL
    std::vector<std::string> f = naive_fields(line);
    if (f.size() < 6 || f[0] != "MCU" || f[3] != "=") continue;
    if (f[1].size() >= 8 || f[4].size() >= 8 || f[5].size() >= 261) continue;
    if (rows.size() < 1024) rows.push_back({f[1], f[4], f[5]});
  }
  return rows;
}

void check_lookup(const std::vector<naive_row> &rows, const std::string &name) {
  int32_t type = -12345;
  bool found = select_mcu(name.c_str(), &type);
  for (size_t i = 0; i < rows.size() && i < 256; ++i) {
    if (rows[i].chip != name) continue;
    FUZZ_CHECK(found);
    FUZZ_CHECK(type == read_hex(rows[i].type.c_str()));
    FUZZ_CHECK(rows[i].writer == writer_path);
    return;
  }
  FUZZ_CHECK(!found && type == -12345 && writer_path[0] == '\0');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size == 0) return 0;
  std::FILE *file = fmemopen(const_cast<uint8_t *>(data), size, "rb");
  if (file == nullptr) return 0;
  read_mcu_table(file);
  std::fclose(file);

  const std::vector<naive_row> rows = naive_table(data, size);
  FUZZ_CHECK(mcu_count == static_cast<int32_t>(rows.size()));
  for (size_t i = 0; i < rows.size(); ++i) {
    FUZZ_CHECK(rows[i].type == mcu_table[i].type_text);
    FUZZ_CHECK(rows[i].chip == mcu_table[i].chip_name);
    FUZZ_CHECK(rows[i].writer == mcu_table[i].writer_file);
  }
  // Every chip name the file gives, and one it most likely does not.
  for (size_t i = 0; i < rows.size() && i < 8; ++i) check_lookup(rows, rows[i].chip);
  check_lookup(rows, "4710");
  return 0;
}
