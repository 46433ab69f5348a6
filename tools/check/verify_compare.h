// SPDX-License-Identifier: Apache-2.0
// Comparing a downloaded image with what was read back from flash.
#ifndef ORVANE_CHECK_VERIFY_COMPARE_H
#define ORVANE_CHECK_VERIFY_COMPARE_H

#include <cstdint>
#include <string>

struct verify_result {
  uint64_t bytes = 0;      // image bytes compared
  uint64_t differing = 0;  // of those, bytes that differ (missing ones included)
  uint32_t first_address = 0;  // flash address of the first difference (when differing > 0)
};

// start: the flash address of the image's first byte.  A read-back shorter than the image
// counts every missing byte as differing.
verify_result compare_images(const std::string &image, const std::string &readback,
                             uint32_t start);

// The whole file as bytes; false when it cannot be read.
bool read_whole_file(const std::string &path, std::string *bytes);

#endif
