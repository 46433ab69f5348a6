// SPDX-License-Identifier: Apache-2.0
// Option values and sizes of the character commands.
#include "cli/character_options.h"

#include <cstring>

#include "base/console.h"
#include "base/state.h"
#include "cli/number.h"

bool is_option(const character_line &line, int i, const char *option) {
  return i < line.argc && std::strcmp(line.argv[i], option) == 0;
}

const char *option_value(const character_line &line, int i) {
  return i + 1 < line.argc ? line.argv[i + 1] : nullptr;
}

bool read_plain_size(const character_line &line, int i, uint32_t *size) {
  const char *value = option_value(line, i);
  if (value == nullptr) return false;
  int32_t count = read_decimal(value);
  if (count == 0) return false;
  *size = static_cast<uint32_t>(count);
  return true;
}

bool read_unit_size(const character_line &line, int i, uint32_t *size) {
  const char *value = option_value(line, i);
  if (value == nullptr) return false;
  int32_t count = read_decimal(value);
  if (count == 0) return false;
  // Only the last character is a unit: "12k" is 12 KB, "12kb" is 12 bytes.
  uint32_t unit = 1;
  std::size_t length = std::strlen(value);
  char last = value[length - 1];
  if (last == 'K' || last == 'k') unit = 1024u;
  if (last == 'M' || last == 'm') unit = 1048576u;
  *size = static_cast<uint32_t>(count) * unit;
  return true;
}

bool copy_path(char *buffer, const char *text) {
  std::memset(buffer, 0, kPathSize);
  std::size_t length = std::strlen(text);
  if (length >= static_cast<std::size_t>(kPathSize)) return false;
  std::memcpy(buffer, text, length);
  return true;
}

bool hex_refused(const char *text) {
  if (!hex_overflows(text)) return false;
  say(msg::number_too_large_260, text);
  return true;
}
