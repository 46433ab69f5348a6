// SPDX-License-Identifier: Apache-2.0
// The flash download as plain data: which sectors are erased and which pages are written from
// where, worked out before any transfer, so the one loop that carries it out stays simple and
// the layout is tested as data.
#ifndef ORVANE_CONTROL_DOWNLOAD_PLAN_H
#define ORVANE_CONTROL_DOWNLOAD_PLAN_H

#include <cstdint>

constexpr uint32_t kSectorSize = 4096;  // the erase unit
constexpr uint32_t kPageSize = 256;     // the program unit
constexpr uint32_t kMaxImageSize = 1048576;
constexpr uint32_t kMaxPlanSectors = kMaxImageSize / kSectorSize;
constexpr uint32_t kMaxPlanPages = kMaxImageSize / kPageSize;

struct page_step {
  uint32_t flash_address;
  uint32_t image_offset;
  uint32_t length;  // 256, or the image's tail for the very last page
  bool announced;   // every fourth page of a sector prints its progress line
};

struct sector_step {
  uint32_t address;
  uint32_t first_page;  // index into the plan's pages
  uint32_t page_count;
  // The last sector: any failure in it ends the download without the summary.  In the
  // sectors before it a failed erase or page program is reported and the download goes on.
  bool last;
};

struct download_plan {
  uint32_t sector_count;
  uint32_t page_count;
  sector_step sectors[kMaxPlanSectors];
  page_step pages[kMaxPlanPages];
};

// The plan for size bytes (at most kMaxImageSize) written from address: every sector but the
// last is written whole, the last holds the pages left, the final one cut to the image's
// tail.  An empty image has no sector.
void plan_flash_download(uint32_t address, uint32_t size, download_plan *plan);

#endif
