// SPDX-License-Identifier: Apache-2.0
#include "tools/check/flash_bounds.h"

#include <cstdio>
#include <cstdlib>

namespace {
constexpr uint64_t kSector = 4096;
}  // namespace

bool parse_flash_size(const std::string &text, uint64_t *size) {
  if (text.empty() || text[0] == '-' || text[0] == '+' || text[0] == ' ') return false;
  char *end = nullptr;
  const unsigned long long value = std::strtoull(text.c_str(), &end, 0);
  if (end == text.c_str()) return false;
  uint64_t unit = 1;
  if (*end == 'k' || *end == 'K') unit = 1024, ++end;
  else if (*end == 'm' || *end == 'M') unit = 1048576, ++end;
  if (*end != '\0' || value == 0 || value > (uint64_t{1} << 32) / unit) return false;
  *size = value * unit;
  return true;
}

bool runs_past_flash(const command_shape &shape, uint64_t flash_size, std::string *why) {
  uint64_t start = shape.address;
  // An erase works on whole sectors, from the one that holds the address.
  if (shape.kind == command_kind::erase) start = start / kSector * kSector;
  else if (shape.kind != command_kind::flash_download) return false;
  // A download whose image cannot be measured is at least one byte long.
  const uint64_t end = start + (shape.total > 0 ? shape.total : 1);
  if (end <= flash_size) return false;
  char text[160];
  std::snprintf(text, sizeof text,
                "the %s of 0x%llx bytes at 0x%llx runs past the end of the 0x%llx-byte flash",
                shape.kind == command_kind::erase ? "erase" : "download",
                static_cast<unsigned long long>(end - start),
                static_cast<unsigned long long>(start),
                static_cast<unsigned long long>(flash_size));
  *why = text;
  return true;
}
