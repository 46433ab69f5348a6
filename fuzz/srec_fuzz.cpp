// SPDX-License-Identifier: Apache-2.0
// The S-record reader, against the text formats' oracle (segment_oracle.h).
#include "fuzz/segment_oracle.h"
#include "tools/check/srec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  return check_text_reader(data, size, read_srec, write_srec);
}
