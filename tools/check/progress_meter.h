// SPDX-License-Identifier: Apache-2.0
// The one-line progress display shown on a terminal: percent, bytes, rate and time left.
#ifndef ORVANE_CHECK_PROGRESS_METER_H
#define ORVANE_CHECK_PROGRESS_METER_H

#include <cstdint>
#include <string>

// label: what is under way ("download", "verify", "read", "erase").  total 0: not known, the
// line then shows bytes and rate only.  elapsed_ms: since the step began.
//   "download  45%  471040/1048576 bytes  23.1 KB/s  0:25 left"
std::string progress_text(const char *label, uint64_t done, uint64_t total, uint64_t elapsed_ms);

#endif
