// SPDX-License-Identifier: Apache-2.0
// The flash download's sectors and pages.
#include "control/download_plan.h"

void plan_flash_download(uint32_t address, uint32_t size, download_plan *plan) {
  plan->sector_count = 0;
  plan->page_count = 0;
  if (size > kMaxImageSize) size = kMaxImageSize;  // the caller refuses larger images
  const uint32_t sectors = (size + kSectorSize - 1) / kSectorSize;
  for (uint32_t i = 0; i < sectors; ++i) {
    const uint32_t sector_offset = i * kSectorSize;
    const uint32_t sector_bytes = size - sector_offset < kSectorSize ? size - sector_offset
                                                                      : kSectorSize;
    sector_step &sector = plan->sectors[plan->sector_count++];
    sector.address = address + sector_offset;
    sector.first_page = plan->page_count;
    sector.page_count = (sector_bytes + kPageSize - 1) / kPageSize;
    sector.last = i == sectors - 1;
    for (uint32_t k = 0; k < sector.page_count; ++k) {
      const uint32_t page_offset = sector_offset + k * kPageSize;
      page_step &page = plan->pages[plan->page_count++];
      page.flash_address = address + page_offset;
      page.image_offset = page_offset;
      page.length = size - page_offset < kPageSize ? size - page_offset : kPageSize;
      page.announced = k % 4 == 0;
    }
  }
}
