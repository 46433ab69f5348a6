// SPDX-License-Identifier: Apache-2.0
// The ELF reader: whatever it accepts keeps its bounds, and every byte it loads is a byte of
// the file: no program header adds more than the file holds.
#include "fuzz/segment_oracle.h"
#include "tools/check/elf_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const std::string file(reinterpret_cast<const char *>(data), size);
  std::vector<image_segment> segments;
  std::string error;
  if (!read_elf(file, &segments, &error)) {
    FUZZ_CHECK(!error.empty());
    return 0;
  }
  check_segment_bounds(segments);
  // Each program header adds at most the file's own bytes.
  uint64_t total = 0;
  for (const image_segment &s : segments) {
    total += s.bytes.size();
    FUZZ_CHECK(file.find(s.bytes[0]) != std::string::npos);
  }
  FUZZ_CHECK(total <= uint64_t{size} * 0xffff);
  return 0;
}
