// SPDX-License-Identifier: Apache-2.0
// Download failures: which ones the flash download reports and goes on from, which end it,
// and the line each variant prints.
#include <ostream>

#include <gtest/gtest.h>

#include "control/control.h"
#include "download_support.h"
#include "engine/chip_family.h"
#include "in_process.h"

using dltest::flash_bytes;
using dltest::make_image;
using harness::mask_times;
using dltest::save_image;

namespace {

const char kUsbOk[] = " ZK32 USB : USB OK \t\n";
// What the flash writer's mailbox exchange prints when the writer reports a failed command
// (usb mode, MCU type 1).
const char kWriterRefused[] = " [168]: wait for ack err! \t\n";

class FlashDownloadFailure : public ::testing::Test {
 protected:
  FlashDownloadFailure() : sim("--mode usb --type 1 --timing zero") {}

  harness::RunResult download(size_t size) {
    image = make_image(size);
    std::string path = save_image(install, "image.bin", image);
    sim.ctl("trace-clear");
    return harness::run_orvane(install, {"4710", "wf", "0", "-i", path, "-u"}, &sim);
  }

  harness::Install install;
  harness::Simulator sim;
  std::vector<unsigned char> image;
};

TEST_F(FlashDownloadFailure, FullSectorEraseErrorSkipsThatSectorAndGoesOn) {
  sim.ctl("fault erase-fail 0");
  auto run = download(8192);
  EXPECT_EQ(mask_times(run.out), std::string(kUsbOk) + kWriterRefused +
                                     " Flash Sector (4K) Erase Error at address 0 \t\n"
                                     " Flash Sector (4K) Erase at address 1000 \t\n"
                                     " Flash Page Program at address 1000 \t\n"
                                     " Flash Page Program at address 1400 \t\n"
                                     " Flash Page Program at address 1800 \t\n"
                                     " Flash Page Program at address 1c00 \t\n"
                                     " File Download to 0x000000: 8192 bytes \t\n"
                                     " Total Time: # ms \t\n");
  EXPECT_EQ(flash_bytes(sim, 0x1000, 4096),
            std::vector<unsigned char>(image.begin() + 4096, image.end()));
}

TEST_F(FlashDownloadFailure, FullSectorProgramErrorSkipsThatPageAndGoesOn) {
  sim.ctl("fault program-fail 400");
  auto run = download(4097);
  EXPECT_EQ(mask_times(run.out), std::string(kUsbOk) +
                                     " Flash Sector (4K) Erase at address 0 \t\n"
                                     " Flash Page Program at address 0 \t\n" +
                                     kWriterRefused +
                                     " Flash Page Program Error at address 400 \t\n"
                                     " Flash Page Program at address 800 \t\n"
                                     " Flash Page Program at address c00 \t\n"
                                     " Flash Sector (4K) Erase at address 1000 \t\n"
                                     " Flash Page Program at address 1000 \t\n"
                                     " File Download to 0x000000: 4097 bytes \t\n"
                                     " Total Time: # ms \t\n");
  EXPECT_EQ(flash_bytes(sim, 0x500, 0x100),
            std::vector<unsigned char>(image.begin() + 0x500, image.begin() + 0x600));
}

TEST_F(FlashDownloadFailure, LastSectorEraseErrorEndsTheDownload) {
  sim.ctl("fault erase-fail 1000");
  auto run = download(8192);
  std::string out = mask_times(run.out);
  EXPECT_EQ(out.substr(out.find(" Flash Page Program at address c00")),
            std::string(" Flash Page Program at address c00 \t\n") + kWriterRefused +
                " Flash Sector (4K) Erase Error at address 1000 \t\n");
}

TEST_F(FlashDownloadFailure, LastSectorProgramErrorEndsTheDownload) {
  sim.ctl("fault program-fail 1400");
  auto run = download(8192);
  std::string out = mask_times(run.out);
  EXPECT_EQ(out.substr(out.find(" Flash Sector (4K) Erase at address 1000")),
            std::string(" Flash Sector (4K) Erase at address 1000 \t\n"
                        " Flash Page Program at address 1000 \t\n") +
                kWriterRefused + " Flash Page Program Error at address 1400 \t\n");
  // The pages after the failed one were never programmed.
  EXPECT_EQ(flash_bytes(sim, 0x1500, 1), std::vector<unsigned char>{0xff});
}

// A failed page-buffer query stops the download: its zero result is no SRAM address to write
// pages to.  The query's mailbox clear is the second one of the run (the erase has the first).
struct QueryCase {
  const char *sim_options;
  const char *chip;
  bool usb;
  const char *query_clear;  // trace line of the request carrying the query's mailbox clear
  const char *expected;
};

void PrintTo(const QueryCase &c, std::ostream *os) { *os << c.sim_options; }

class PageBufferQueryFailure : public ::testing::TestWithParam<QueryCase> {};

INSTANTIATE_TEST_SUITE_P(
    Variants, PageBufferQueryFailure,
    ::testing::Values(
        QueryCase{"--mode usb --type 1", "4710", true, "w s 8004 000000",
                  " ZK32 USB : USB OK \t\n Flash Sector (4K) Erase at address 0 \t\n"
                  " [163]: clear buff err! \t\n [144]: flash page buffer err! \t\n"},
        QueryCase{"--mode evk --type 1", "4710", false, "w s 9ff8 0480000003000041",
                  " ZK32 EVK : Vlane OK \t\n Flash Sector (4K) Erase at address 0 \t\n"
                  " [174]: Clear buff err! \t\n [154]: flash page buffer err! \t\n"}));

TEST_P(PageBufferQueryFailure, StopsBeforeAnyPageIsWritten) {
  const QueryCase &c = GetParam();
  harness::Install install;
  harness::Simulator sim(std::string(c.sim_options) + " --timing zero");
  std::string path = save_image(install, "image.bin", make_image(100));
  std::vector<std::string> args = {c.chip, "wf", "0", "-i", path};
  if (c.usb) args.push_back("-u");
  sim.ctl("trace-clear");
  harness::run_orvane(install, args, &sim);
  sim.ctl(dltest::stall_at(sim, c.query_clear, 1));
  auto run = harness::run_orvane(install, args, &sim);
  EXPECT_EQ(run.out, c.expected);
  EXPECT_EQ(flash_bytes(sim, 0, 1), std::vector<unsigned char>{0xff});
}

// A page write that the device refuses ends the download in every sector, with the line of
// the variant and of the sector kind.
struct PageWriteCase {
  const char *sim_options;
  const char *chip;
  bool usb;
  size_t image_size;  // 8192: the failure hits a full sector; 4096: the last sector
  const char *expected_tail;
};

void PrintTo(const PageWriteCase &c, std::ostream *os) {
  *os << c.sim_options << ", " << c.image_size << " bytes";
}

class PageWriteFailure : public ::testing::TestWithParam<PageWriteCase> {};

INSTANTIATE_TEST_SUITE_P(
    VariantsAndSectors, PageWriteFailure,
    ::testing::Values(
        PageWriteCase{"--mode usb --type 1", "4710", true, 8192, " [140]: write file err! \t\n"},
        PageWriteCase{"--mode usb --type 1", "4710", true, 4096, " [142]: write file err! \t\n"},
        PageWriteCase{"--mode usb --type 3", "4715", true, 8192, " [139]: write file err! \t\n"},
        PageWriteCase{"--mode usb --type 3", "4715", true, 4096, " [141]: write file err!  \t\n"},
        PageWriteCase{"--mode evk --type 1", "4710", false, 8192, " [151]: write file err! \t\n"},
        PageWriteCase{"--mode evk --type 3", "4715", false, 4096,
                      " [152]: write file err! \t\n"}));

TEST_P(PageWriteFailure, EndsTheDownloadWithTheVariantsLine) {
  const PageWriteCase &c = GetParam();
  harness::Install install;
  harness::Simulator sim(std::string(c.sim_options) + " --timing zero");
  std::string path = save_image(install, "image.bin", make_image(c.image_size));
  std::vector<std::string> args = {c.chip, "wf", "0", "-i", path};
  if (c.usb) args.push_back("-u");
  // A first download shows where the writer keeps its page buffer: the target of the first
  // 256-byte write.
  sim.ctl("trace-clear");
  harness::run_orvane(install, args, &sim);
  std::string page_buffer = dltest::first_page_write(sim, c.usb);
  ASSERT_FALSE(page_buffer.empty());
  sim.ctl(std::string(c.usb ? "fault write-fail " : "fault vlane-write-fail ") + page_buffer);
  auto run = harness::run_orvane(install, args, &sim);
  std::string out = mask_times(run.out);
  EXPECT_EQ(out.substr(out.find(" Flash Sector (4K) Erase at address 0")),
            std::string(" Flash Sector (4K) Erase at address 0 \t\n") + c.expected_tail);
}

}  // namespace

namespace {

// How a download ends, as its outcome: the line that ended it, or for the failures of the
// full sectors, which it goes on after, the first of them (the summary still printed).
TEST(DownloadOutcome, IsTheLineThatEndedItOrTheFirstFailureItWentOnAfter) {
  struct Case {
    const char *fault;
    size_t size;
    outcome ended;
    bool summary;
  };
  const Case cases[] = {
      {"", 8192, kDone, true},
      {"", 0, kDone, true},
      {"erase-fail 0", 8192, msg::download_sector_erase_error, true},
      {"program-fail 400", 4097, msg::download_page_error, true},
      {"erase-fail 1000", 8192, msg::download_sector_erase_error, false},
      {"program-fail 1000", 4097, msg::download_page_error, false},
      // The writer's own time-out line comes first; the download's line ends it.
      {"writer-stuck", 4096, msg::download_sector_erase_error, false},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(std::string(c.fault) + " " + std::to_string(c.size));
    harness::Install install;
    harness::Simulator sim("--mode usb --type 1 --timing zero");
    const std::string path = save_image(install, "image.bin", make_image(c.size));
    if (*c.fault != '\0') sim.ctl(std::string("fault ") + c.fault);
    outcome ended = kDone;
    const harness::RunResult run = harness::run_operation_here(install, sim, "4710", [&] {
      ended = download_image(kModeUsb, 1, 0, kTargetFlash, path.c_str());
    });
    EXPECT_EQ(static_cast<int>(ended), static_cast<int>(c.ended)) << run.out;
    EXPECT_EQ(run.out.find(" File Download to") != std::string::npos, c.summary) << run.out;
  }
}

}  // namespace
