// SPDX-License-Identifier: Apache-2.0
// What `load` downloads: an image file read into segments, each a run of bytes for one flash
// address.
#ifndef ORVANE_DEBUG_LOAD_IMAGE_H
#define ORVANE_DEBUG_LOAD_IMAGE_H

#include <cstdint>
#include <string>
#include <vector>

struct image_segment {
  uint32_t address;
  std::vector<uint8_t> bytes;
};

// Reads path into segments; address is where an image without addresses of its own goes.
// False, with the reason in *error, when the file cannot be used.
using image_reader = bool (*)(const std::string &path, uint32_t address,
                              std::vector<image_segment> *segments, std::string *error);

// A raw binary: the whole file, one segment at address.
bool read_raw_image(const std::string &path, uint32_t address,
                    std::vector<image_segment> *segments, std::string *error);

#endif
