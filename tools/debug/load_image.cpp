// SPDX-License-Identifier: Apache-2.0
#include "tools/debug/load_image.h"

#include <cstdio>

namespace {
// The largest image Orvane downloads in one go.
constexpr std::size_t kLargestImage = 1048576;
}  // namespace

bool read_raw_image(const std::string &path, uint32_t address,
                    std::vector<image_segment> *segments, std::string *error) {
  std::FILE *file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    *error = "cannot read " + path;
    return false;
  }
  image_segment segment{address, {}};
  uint8_t block[65536];
  std::size_t got;
  while ((got = std::fread(block, 1, sizeof block, file)) > 0 &&
         segment.bytes.size() <= kLargestImage)
    segment.bytes.insert(segment.bytes.end(), block, block + got);
  std::fclose(file);
  if (segment.bytes.size() > kLargestImage) {
    *error = path + " is larger than 1048576 bytes";
    return false;
  }
  segments->assign(1, segment);
  return true;
}
