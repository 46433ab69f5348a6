// SPDX-License-Identifier: Apache-2.0
#include "tools/check/verify_compare.h"

#include <cstdio>

verify_result compare_images(const std::string &image, const std::string &readback,
                             uint32_t start) {
  verify_result result;
  result.bytes = image.size();
  for (std::size_t i = 0; i < image.size(); ++i) {
    if (i < readback.size() && readback[i] == image[i]) continue;
    if (result.differing++ == 0) result.first_address = start + static_cast<uint32_t>(i);
  }
  return result;
}

bool read_whole_file(const std::string &path, std::string *bytes) {
  bytes->clear();
  std::FILE *file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return false;
  char buffer[65536];
  std::size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes->append(buffer, got);
  const bool ok = !std::ferror(file);
  std::fclose(file);
  return ok;
}
