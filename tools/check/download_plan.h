// SPDX-License-Identifier: Apache-2.0
// The downloads a firmware file needs, worked out as plain data before anything runs: which
// contiguous runs go to flash and which to SRAM, by the chip family's address map.
#ifndef ORVANE_CHECK_DOWNLOAD_PLAN_H
#define ORVANE_CHECK_DOWNLOAD_PLAN_H

#include <cstdint>
#include <string>
#include <vector>

#include "tools/check/firmware_image.h"

enum class run_target { flash, sram };

// One Orvane download: flash runs by "wf ADDRESS -i", the SRAM run by "wc ADDRESS -i".
struct planned_run {
  run_target target = run_target::flash;
  uint32_t address = 0;
  std::string bytes;
  uint64_t filled = 0;  // of bytes, how many are 0xff filling a gap rather than the file's
};

// Flash runs in address order, then at most one SRAM run: every SRAM download starts the
// core, so the SRAM part goes last and in one piece.
struct download_plan {
  std::vector<planned_run> runs;
};

// Flash is the address range below the family's SRAM base, SRAM the family's SRAM.  A flash
// run starts on a 4 KB sector boundary (the sector is erased whole anyway, so the bytes before
// the file's first are 0xff); a gap that lies inside one sector is filled with 0xff, a gap
// that reaches into another sector starts a new run.  Gaps in SRAM are filled.  False, with
// *error, for no bytes at all, two parts of the file that load the same address, or bytes
// outside flash and SRAM.
bool plan_downloads(const std::vector<image_segment> &segments, int mcu_type,
                    download_plan *plan, std::string *error);

const char *target_name(run_target target);

#endif
