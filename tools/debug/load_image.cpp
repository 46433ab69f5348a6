// SPDX-License-Identifier: Apache-2.0
#include "tools/debug/load_image.h"

#include <cstdio>
#include "tools/check/firmware_image.h"

namespace {

// A firmware file larger than this is no image for these chips (flash is at most 1 MB; a text
// format takes a little over twice the bytes it carries, an ELF file more).
constexpr std::size_t kLargestFile = 16u << 20;

bool read_whole(const std::string &path, std::string *text, std::string *error) {
  std::FILE *file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    *error = "cannot read " + path;
    return false;
  }
  char block[65536];
  std::size_t got;
  while ((got = std::fread(block, 1, sizeof block, file)) > 0 && text->size() <= kLargestFile)
    text->append(block, got);
  const bool failed = std::ferror(file) != 0;
  std::fclose(file);
  if (failed) *error = "cannot read " + path;
  else if (text->size() > kLargestFile) *error = path + " is too large for a firmware file";
  return error->empty();
}

}  // namespace

bool plan_load(const std::string &path, uint32_t address, bool address_given, int mcu_type,
               download_plan *plan, std::string *error) {
  std::string file;
  if (!read_whole(path, &file, error)) return false;
  firmware_image image;
  image.format = recognise_format(file);
  if (image.format == image_format::raw) {
    image.segments.push_back(image_segment{address, file});
  } else if (address_given) {
    *error = path + " is " + format_name(image.format) +
             " and carries its own addresses: load FILE without an address";
    return false;
  } else if (!read_firmware_image(file, &image, error)) {
    *error = path + ": " + *error;
    return false;
  }
  if (!plan_downloads(image.segments, mcu_type, plan, error)) return false;
  for (const planned_run &run : plan->runs) {
    if (run.target != run_target::flash) {
      char where[80];
      std::snprintf(where, sizeof where, "the file loads SRAM at 0x%.6x: load takes flash only",
                    run.address);
      *error = where;
      return false;
    }
  }
  return true;
}
