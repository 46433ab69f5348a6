// SPDX-License-Identifier: Apache-2.0
#include <cstdio>

#include "sim/capture_commands.h"
#include "sim/trace_log.h"
#include "sim/vendor_request.h"

namespace zk32sim {

std::string decoded_transfer_line(const CapturedTransfer &t) {
  bool answered = t.complete_frame != 0;
  std::string line;
  VendorRequest r;
  if (t.stream) {
    line = "stream";
    if (answered && t.ok) {
      char count[16];
      snprintf(count, sizeof count, " %zx ", t.in.size());
      line += count + hex_bytes(t.in.data(), t.in.size());
    }
  } else if (decode_vendor_request(t.setup, t.out.data(), t.out.size(), &r)) {
    line = r.is_write ? request_line(r, r.data, r.count)
                      : request_line(r, t.in.data(), t.ok ? t.in.size() : 0);
  } else {
    int result = answered && t.ok ? int(t.in.size()) : -1;
    line = raw_transfer_line(t.setup, t.out.data(), t.out.size(), t.in.data(), result);
    if (result < 0) line.resize(line.size() - 6);  // " stall" is added below
  }
  if (!answered) {
    line += " (no answer in the capture)";
  } else if (!t.ok) {
    line += " stall";
  }
  return line;
}

int decode_capture(const std::string &path, FILE *out) {
  Capture capture;
  std::string error;
  if (!read_capture(path, &capture, &error)) {
    fprintf(stderr, "zk32-sim: %s\n", error.c_str());
    return 2;
  }
  for (const CapturedTransfer &t : capture.transfers) {
    fprintf(out, "%s\n", decoded_transfer_line(t).c_str());
  }
  if (capture.cut_short) fprintf(stderr, "zk32-sim: %s ends inside a record\n", path.c_str());
  return 0;
}

}  // namespace zk32sim
