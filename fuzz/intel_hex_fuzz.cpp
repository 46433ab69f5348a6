// SPDX-License-Identifier: Apache-2.0
// The Intel HEX reader, against the text formats' oracle (segment_oracle.h).
#include "fuzz/segment_oracle.h"
#include "tools/check/intel_hex.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  return check_text_reader(data, size, read_intel_hex, write_intel_hex);
}
