// SPDX-License-Identifier: Apache-2.0
// The flash download's plan as data: the sectors erased, the pages written from where, and
// which of them print progress, for the image sizes whose edges a loop gets wrong.
#include <gtest/gtest.h>

#include "control/download_plan.h"

namespace {

download_plan plan;  // 70 KB: not on the stack

TEST(DownloadPlan, CoversTheImageOncePageByPageWithinItsSectors) {
  struct Case {
    uint32_t address;
    uint32_t size;
    uint32_t sectors;
    uint32_t pages;
    uint32_t last_length;  // of the final page
  };
  const Case cases[] = {
      {0x0000, 0, 0, 0, 0},          {0x1000, 1, 1, 1, 1},
      {0x0000, 256, 1, 1, 256},      {0x2000, 257, 1, 2, 1},
      {0x0000, 4096, 1, 16, 256},    {0x0000, 4097, 2, 17, 1},
      {0x0000, 5000, 2, 20, 136},    {0x3000, 1048576, 256, 4096, 256},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.size);
    plan_flash_download(c.address, c.size, &plan);
    ASSERT_EQ(plan.sector_count, c.sectors);
    ASSERT_EQ(plan.page_count, c.pages);
    if (c.pages != 0) {
      EXPECT_EQ(plan.pages[c.pages - 1].length, c.last_length);
    }
    uint32_t covered = 0;
    for (uint32_t s = 0; s < plan.sector_count; ++s) {
      const sector_step &sector = plan.sectors[s];
      EXPECT_EQ(sector.address, c.address + s * kSectorSize);
      EXPECT_EQ(sector.last, s + 1 == plan.sector_count);
      if (!sector.last) {
        EXPECT_EQ(sector.page_count, kSectorSize / kPageSize);
      }
      for (uint32_t k = 0; k < sector.page_count; ++k) {
        const page_step &page = plan.pages[sector.first_page + k];
        EXPECT_EQ(page.image_offset, covered) << "page " << k << " of sector " << s;
        EXPECT_EQ(page.flash_address, c.address + page.image_offset);
        EXPECT_EQ(page.announced, k % 4 == 0);
        covered += page.length;
      }
    }
    EXPECT_EQ(covered, c.size);
  }
}

}  // namespace
