// SPDX-License-Identifier: Apache-2.0
// The S-record reader: whatever it accepts keeps its bounds, holds no more bytes than the
// text can carry, and reads back the same when written out again.
#include <algorithm>

#include "fuzz/segment_oracle.h"
#include "tools/check/srec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const std::string file(reinterpret_cast<const char *>(data), size);
  std::vector<image_segment> segments;
  std::string error;
  if (!read_srec(file, &segments, &error)) {
    FUZZ_CHECK(!error.empty());
    return 0;
  }
  check_segment_bounds(segments);
  std::size_t total = 0;
  for (const image_segment &s : segments) total += s.bytes.size();
  FUZZ_CHECK(total <= size / 2);
  std::vector<image_segment> again;
  FUZZ_CHECK(read_srec(write_srec(segments), &again, &error));
  FUZZ_CHECK(same_segments(segments, again));
  return 0;
}
