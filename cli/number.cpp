// SPDX-License-Identifier: Apache-2.0
// The number reader (strtol rules, 32-bit result).
#include "cli/number.h"

namespace {

bool is_space(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The digit's value, or -1 when c is no digit of the base.
int digit_value(char c, int base) {
  int value = -1;
  if (c >= '0' && c <= '9') value = c - '0';
  else if (c >= 'a' && c <= 'z') value = c - 'a' + 10;
  else if (c >= 'A' && c <= 'Z') value = c - 'A' + 10;
  return value < base ? value : -1;
}

// The strtol reading; *overflow tells a value outside the signed 32-bit range from a 0 typed.
int32_t read_checked(const char *text, int base, bool *overflow) {
  *overflow = false;
  if (text == nullptr) return 0;
  const char *p = text;
  while (is_space(*p)) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') {
    negative = *p == '-';
    ++p;
  }
  // strtol takes the prefix only when a hex digit follows it; otherwise the "0" is the number.
  if (base == 16 && p[0] == '0' && (p[1] == 'x' || p[1] == 'X') && digit_value(p[2], 16) >= 0)
    p += 2;

  // The magnitude is bounded by 2^31 (the most negative value), checked after every digit.
  constexpr uint64_t kLimit = 0x80000000u;
  uint64_t magnitude = 0;
  for (int digit; (digit = digit_value(*p, base)) >= 0; ++p) {
    magnitude = magnitude * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
    if (magnitude > kLimit) {
      *overflow = true;
      return 0;
    }
  }
  if (negative) return static_cast<int32_t>(-static_cast<int64_t>(magnitude));
  if (magnitude == kLimit) {
    *overflow = true;
    return 0;
  }
  return static_cast<int32_t>(magnitude);
}

}  // namespace

int32_t read_number(const char *text, int base) {
  bool overflow = false;
  return read_checked(text, base, &overflow);
}

bool hex_overflows(const char *text) {
  bool overflow = false;
  read_checked(text, 16, &overflow);
  return overflow;
}
