// SPDX-License-Identifier: Apache-2.0
#include "tools/check/progress_meter.h"

#include <cstdio>

std::string progress_text(const char *label, uint64_t done, uint64_t total, uint64_t elapsed_ms) {
  char text[160];
  int n = std::snprintf(text, sizeof text, "%s", label);
  if (total != 0) {
    const unsigned percent = static_cast<unsigned>(done >= total ? 100 : done * 100 / total);
    n += std::snprintf(text + n, sizeof text - n, " %3u%%  %llu/%llu bytes", percent,
                       static_cast<unsigned long long>(done),
                       static_cast<unsigned long long>(total));
  } else {
    n += std::snprintf(text + n, sizeof text - n, "  %llu bytes",
                       static_cast<unsigned long long>(done));
  }
  // Rate and time left only once there is something to go by.
  if (elapsed_ms != 0 && done != 0) {
    const double rate = static_cast<double>(done) * 1000.0 / static_cast<double>(elapsed_ms);
    n += std::snprintf(text + n, sizeof text - n, "  %.1f KB/s", rate / 1024.0);
    if (total > done) {
      const unsigned long long left =
          static_cast<unsigned long long>(static_cast<double>(total - done) / rate + 0.5);
      std::snprintf(text + n, sizeof text - n, "  %llu:%02llu left", left / 60, left % 60);
    }
  }
  return text;
}
