// SPDX-License-Identifier: Apache-2.0
// The number reader against strtol: the same value whenever strtol's result fits 32 bits
// and was read without overflow, else 0.
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "cli/number.h"
#include "fuzz/fuzz_check.h"

namespace {

int32_t strtol_rule(const char *text, int base) {
  errno = 0;
  long value = std::strtol(text, nullptr, base);
  if (errno == ERANGE || value < INT32_MIN || value > INT32_MAX) return 0;
  return static_cast<int32_t>(value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size == 0) return 0;
  const int base = (data[0] & 1) != 0 ? 16 : 10;
  const std::string text(reinterpret_cast<const char *>(data + 1), size - 1);  // ends at a NUL
  FUZZ_CHECK(read_number(text.c_str(), base) == strtol_rule(text.c_str(), base));
  return 0;
}
