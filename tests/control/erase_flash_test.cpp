// SPDX-License-Identifier: Apache-2.0
// Flash erase by 4 KB sectors: transcripts and which sectors the simulated flash has lost.
#include <gtest/gtest.h>

#include "download_support.h"

using dltest::flash_bytes;
using harness::mask_times;
using dltest::trace_lines;

namespace {

class FlashErase : public ::testing::Test {
 protected:
  FlashErase() : sim("--mode usb --type 1 --timing zero") {
    // A marker byte at the start of sectors 0 to 4 shows which sectors were erased.
    for (const char *address : {"0", "1000", "2000", "3000", "4000"}) {
      sim.ctl(std::string("flash-write ") + address + " 00");
    }
    sim.ctl("trace-clear");
  }

  std::vector<unsigned char> markers() {
    std::vector<unsigned char> bytes;
    for (uint32_t sector = 0; sector < 5; ++sector) {
      bytes.push_back(flash_bytes(sim, sector * 4096, 1).at(0));
    }
    return bytes;
  }

  harness::Install install;
  harness::Simulator sim;
};

TEST_F(FlashErase, ErasesEachSectorOfTheRunInTurn) {
  auto run = harness::run_orvane(install, {"4710", "wf", "1000", "-e", "3", "-u"}, &sim);
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(mask_times(run.out), " ZK32 USB : USB OK \t\n"
                                 " Flash Sector (4K) Erase at address: 1000 \t\n"
                                 " Flash Sector (4K) Erase at address: 2000 \t\n"
                                 " Flash Sector (4K) Erase at address: 3000 \t\n"
                                 " Total Time: # ms \t\n");
  EXPECT_EQ(markers(), (std::vector<unsigned char>{0x00, 0xff, 0xff, 0xff, 0x00}));
}

TEST_F(FlashErase, FailureOnTheSecondSectorStopsTheRun) {
  sim.ctl("fault erase-fail 2000");
  auto run = harness::run_orvane(install, {"4710", "wf", "1000", "-e", "3", "-u"}, &sim);
  EXPECT_EQ(run.out, " ZK32 USB : USB OK \t\n"
                     " Flash Sector (4K) Erase at address: 1000 \t\n"
                     " [168]: wait for ack err! \t\n"
                     " Flash Sector (4K) Erase Error: 2000 \t\n");
  // Sectors before the failure stay erased, those after it are not touched.
  EXPECT_EQ(markers(), (std::vector<unsigned char>{0x00, 0xff, 0x00, 0x00, 0x00}));
}

TEST_F(FlashErase, ZeroSectorsLoadsTheWriterAndErasesNothing) {
  // Numeric erase: command 2, object flash, address, mode usb, row 1 (4710), count 0.
  auto run = harness::run_orvane(install, {"2", "1", "1000", "1", "1", "0"}, &sim);
  EXPECT_EQ(mask_times(run.out), " ZK32 USB : USB OK \t\n Total Time: # ms \t\n");
  EXPECT_TRUE(trace_lines(sim, "writer ").empty());
}

TEST_F(FlashErase, ModeOtherThanUsbOrEvkDoesNothing) {
  auto run = harness::run_orvane(install, {"2", "1", "1000", "2", "1", "3"}, &sim);
  EXPECT_EQ(run.out, "");
  EXPECT_TRUE(sim.trace().empty());
}

TEST(FlashEraseWithoutDevice, UsbModeReportsNoDevice) {
  harness::Install install;
  auto run = harness::run_orvane(install, {"4710", "wf", "1000", "-e", "3", "-u"});
  EXPECT_EQ(run.out, " [179]: no usb device! \t\n");
  EXPECT_EQ(run.exit_code, 0);
}

TEST(FlashEraseOverEvk, ErasesBehindTheProbe) {
  harness::Install install;
  harness::Simulator sim("--mode evk --type 3 --timing zero");
  sim.ctl("flash-write 2000 00");
  auto run = harness::run_orvane(install, {"4715", "wf", "2000", "-e", "1"}, &sim);
  EXPECT_EQ(mask_times(run.out), " ZK32 EVK : Vlane OK \t\n"
                                 " Flash Sector (4K) Erase at address: 2000 \t\n"
                                 " Total Time: # ms \t\n");
  EXPECT_EQ(flash_bytes(sim, 0x2000, 1), std::vector<unsigned char>{0xff});
}

}  // namespace
