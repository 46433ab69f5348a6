// SPDX-License-Identifier: Apache-2.0
#include "tools/check/download_plan.h"

#include <algorithm>
#include <cstdio>

#include "engine/chip_family.h"

namespace {

constexpr uint32_t kSectorSize = 4096;

std::string range_text(uint64_t first, uint64_t end) {
  char text[48];
  std::snprintf(text, sizeof text, "0x%06llx-0x%06llx", static_cast<unsigned long long>(first),
                static_cast<unsigned long long>(end - 1));
  return text;
}

uint64_t end_of(const image_segment &s) { return uint64_t{s.address} + s.bytes.size(); }

// Adds a segment to the last run, filling the gap before it, or starts a new run.
void place(const image_segment &segment, run_target target, bool join, download_plan *plan) {
  if (!join) {
    planned_run run;
    run.target = target;
    run.address = segment.address;
    if (target == run_target::flash) {
      run.address = segment.address / kSectorSize * kSectorSize;
      run.filled = segment.address - run.address;
      run.bytes.assign(run.filled, '\xff');
    }
    run.bytes += segment.bytes;
    plan->runs.push_back(run);
    return;
  }
  planned_run &run = plan->runs.back();
  const uint64_t gap = segment.address - (run.address + run.bytes.size());
  run.bytes.append(gap, '\xff');
  run.filled += gap;
  run.bytes += segment.bytes;
}

}  // namespace

const char *target_name(run_target target) { return target == run_target::flash ? "flash" : "sram"; }

bool plan_downloads(const std::vector<image_segment> &segments, int mcu_type,
                    download_plan *plan, std::string *error) {
  plan->runs.clear();
  std::vector<image_segment> sorted;
  for (const image_segment &s : segments) {
    if (!s.bytes.empty()) sorted.push_back(s);
  }
  if (sorted.empty()) {
    *error = "the file holds no bytes to load";
    return false;
  }
  std::stable_sort(sorted.begin(), sorted.end(),
                   [](const image_segment &a, const image_segment &b) { return a.address < b.address; });

  const uint64_t flash_end = sram_base(mcu_type);
  const uint64_t sram_end = flash_end + sram_size(mcu_type);
  for (std::size_t i = 0; i < sorted.size(); ++i) {
    const image_segment &s = sorted[i];
    const uint64_t end = end_of(s);
    if (i > 0 && s.address < end_of(sorted[i - 1])) {
      const uint64_t overlap_end = std::min(end, end_of(sorted[i - 1]));
      *error = "two parts of the file load " + range_text(s.address, overlap_end);
      return false;
    }
    const bool in_flash = end <= flash_end;
    const bool in_sram = s.address >= flash_end && end <= sram_end;
    if (!in_flash && !in_sram) {
      *error = range_text(s.address, end) + " lies outside flash " + range_text(0, flash_end) +
               " and SRAM " + range_text(flash_end, sram_end) + " of MCU type " +
               std::to_string(mcu_type);
      return false;
    }
    const run_target target = in_flash ? run_target::flash : run_target::sram;
    bool join = !plan->runs.empty() && plan->runs.back().target == target;
    if (join && target == run_target::flash) {
      const planned_run &last = plan->runs.back();
      const uint64_t last_byte = last.address + last.bytes.size() - 1;
      join = last_byte / kSectorSize == s.address / kSectorSize ||
             last_byte + 1 == s.address;
    }
    place(s, target, join, plan);
  }
  return true;
}
