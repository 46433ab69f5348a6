// SPDX-License-Identifier: Apache-2.0
// Firmware download into flash: transcripts, flash-writer commands and the flash contents.
#include <algorithm>

#include <gtest/gtest.h>

#include "download_support.h"
#include "in_process.h"

using dltest::flash_bytes;
using dltest::make_image;
using harness::mask_times;
using dltest::save_image;
using dltest::trace_lines;

namespace {

const char kUsbOk[] = " ZK32 USB : USB OK \t\n";

class FlashDownload : public ::testing::Test {
 protected:
  FlashDownload() : sim("--mode usb --type 1 --timing zero") {}

  // "Orvane 4710 wf ADDRESS -i PATH -u" with an image of the given size.
  harness::RunResult download(const std::vector<unsigned char> &image,
                              const std::string &address = "0") {
    std::string path = save_image(install, "image.bin", image);
    sim.ctl("trace-clear");
    return harness::run_orvane(install, {"4710", "wf", address, "-i", path, "-u"}, &sim);
  }
  // The same, in-process on a virtual clock: a large image costs one real busy wait per
  // writer command otherwise.
  harness::RunResult download_here(const std::vector<unsigned char> &image) {
    std::string path = save_image(install, "image.bin", image);
    sim.ctl("trace-clear");
    return harness::run_orvane_here(install, {"4710", "wf", "0", "-i", path, "-u"}, sim);
  }

  harness::Install install;
  harness::Simulator sim;
};

TEST_F(FlashDownload, ImageOfOnePartialPageProgramsOnlyItsBytes) {
  auto image = make_image(100);
  auto run = download(image);
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(mask_times(run.out), std::string(kUsbOk) +
                                     " Flash Sector (4K) Erase at address 0 \t\n"
                                     " Flash Page Program at address 0 \t\n"
                                     " File Download to 0x000000: 100 bytes \t\n"
                                     " Total Time: # ms \t\n");
  EXPECT_EQ(trace_lines(sim, "writer "),
            (std::vector<std::string>{"writer M 0 4", "writer @ 0 0", "writer A 0 64"}));
  EXPECT_EQ(flash_bytes(sim, 0, 100), image);
  // The rest of the sector is erased and left unwritten.
  EXPECT_EQ(flash_bytes(sim, 100, 4096 - 100), std::vector<unsigned char>(4096 - 100, 0xff));
}

TEST_F(FlashDownload, OneSectorImageIsProgrammedAsTheLastSector) {
  auto image = make_image(4096);
  auto run = download(image);
  EXPECT_EQ(mask_times(run.out), std::string(kUsbOk) +
                                     " Flash Sector (4K) Erase at address 0 \t\n"
                                     " Flash Page Program at address 0 \t\n"
                                     " Flash Page Program at address 400 \t\n"
                                     " Flash Page Program at address 800 \t\n"
                                     " Flash Page Program at address c00 \t\n"
                                     " File Download to 0x000000: 4096 bytes \t\n"
                                     " Total Time: # ms \t\n");
  auto writer = trace_lines(sim, "writer ");
  ASSERT_EQ(writer.size(), 18u);
  EXPECT_EQ(writer[0], "writer M 0 4");
  EXPECT_EQ(writer[17], "writer A f00 100");
  EXPECT_EQ(flash_bytes(sim, 0, 4096), image);
}

TEST_F(FlashDownload, ByteBeyondASectorGoesToASecondSectorAtTheTargetAddress) {
  auto image = make_image(4097);
  auto run = download(image, "20000");
  EXPECT_EQ(mask_times(run.out), std::string(kUsbOk) +
                                     " Flash Sector (4K) Erase at address 20000 \t\n"
                                     " Flash Page Program at address 20000 \t\n"
                                     " Flash Page Program at address 20400 \t\n"
                                     " Flash Page Program at address 20800 \t\n"
                                     " Flash Page Program at address 20c00 \t\n"
                                     " Flash Sector (4K) Erase at address 21000 \t\n"
                                     " Flash Page Program at address 21000 \t\n"
                                     " File Download to 0x020000: 4097 bytes \t\n"
                                     " Total Time: # ms \t\n");
  auto writer = trace_lines(sim, "writer ");
  ASSERT_FALSE(writer.empty());
  EXPECT_EQ(writer.back(), "writer A 21000 1");
  EXPECT_EQ(flash_bytes(sim, 0x20000, 4097), image);
  EXPECT_EQ(flash_bytes(sim, 0x21001, 1), std::vector<unsigned char>{0xff});
}

TEST_F(FlashDownload, ImageOfExactlyOneMegabyteFillsTheFlash) {
  auto image = make_image(1048576, 5);
  auto run = download_here(image);
  std::string out = mask_times(run.out);
  const std::string last_sector = " Flash Sector (4K) Erase at address ff000 \t\n"
                                  " Flash Page Program at address ff000 \t\n"
                                  " Flash Page Program at address ff400 \t\n"
                                  " Flash Page Program at address ff800 \t\n"
                                  " Flash Page Program at address ffc00 \t\n"
                                  " File Download to 0x000000: 1048576 bytes \t\n"
                                  " Total Time: # ms \t\n";
  ASSERT_GT(out.size(), last_sector.size());
  EXPECT_EQ(out.substr(out.size() - last_sector.size()), last_sector);
  // One erase and four progress lines per sector, the loader's line and the summary.
  EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1 + 256 * 5 + 2);
  EXPECT_EQ(flash_bytes(sim, 0, 1048576), image);
}

TEST_F(FlashDownload, ImageLargerThanOneMegabyteIsRefusedBeforeAnyErase) {
  auto run = download(make_image(1048577));
  EXPECT_EQ(run.out, std::string(kUsbOk) + " [143]: .bin file larger than 1048576 bytes! \t\n");
  EXPECT_TRUE(trace_lines(sim, "writer ").empty());
}

TEST_F(FlashDownload, EmptyImageErasesNothingAndReportsZeroBytes) {
  auto run = download({});
  EXPECT_EQ(mask_times(run.out), std::string(kUsbOk) +
                                     " File Download to 0x000000: 0 bytes \t\n"
                                     " Total Time: # ms \t\n");
  EXPECT_TRUE(trace_lines(sim, "writer ").empty());
}

TEST_F(FlashDownload, UnreadableImagePathReportsTheOpenError) {
  // A missing file, and a directory (which opens on POSIX but cannot be read).
  for (const std::string &path : {install.path("none.bin"), install.dir + "/writer"}) {
    auto run = harness::run_orvane(install, {"4710", "wf", "0", "-i", path, "-u"}, &sim);
    EXPECT_EQ(run.out, std::string(kUsbOk) + " [138]: open .bin file err! \t\n") << path;
    EXPECT_EQ(run.exit_code, 0);
  }
}

TEST_F(FlashDownload, NumericPathHasEveryPlaceholderReplacedByABlank) {
  auto image = make_image(20);
  save_image(install, "my fw image.bin", image);
  // Numeric download: command 1, object flash, address 0, mode usb, row 1 (4710), path.
  auto run = harness::run_orvane(
      install, {"1", "1", "0", "1", "1", install.path("my#njj#fw#njj#image.bin")}, &sim);
  EXPECT_EQ(mask_times(run.out), std::string(kUsbOk) +
                                     " Flash Sector (4K) Erase at address 0 \t\n"
                                     " Flash Page Program at address 0 \t\n"
                                     " File Download to 0x000000: 20 bytes \t\n"
                                     " Total Time: # ms \t\n");
  EXPECT_EQ(flash_bytes(sim, 0, 20), image);
}

TEST_F(FlashDownload, NumericModeOtherThanUsbOrEvkDoesNothing) {
  std::string path = save_image(install, "image.bin", make_image(20));
  sim.ctl("trace-clear");
  for (const char *mode : {"0", "2", "5"}) {
    auto run = harness::run_orvane(install, {"1", "1", "0", mode, "1", path}, &sim);
    EXPECT_EQ(run.out, "") << "mode " << mode;
    EXPECT_EQ(run.exit_code, 0);
  }
  EXPECT_TRUE(sim.trace().empty());
}

// The main job of the README: the sample firmware into flash, read back into a file.
TEST_F(FlashDownload, SampleFirmwareReadsBackUnchanged) {
  std::string firmware = harness::read_file(ORVANE_SOURCE_DIR "/examples/firmware.bin");
  if (firmware.empty()) GTEST_SKIP() << "examples/firmware.bin is not there";
  std::string path = install.path("firmware.bin");
  harness::write_file(path, firmware);
  auto run = harness::run_orvane(install, {"4710", "wf", "0", "-i", path, "-u"}, &sim);
  EXPECT_NE(run.out.find(" File Download to 0x000000: " + std::to_string(firmware.size()) +
                         " bytes \t\n"),
            std::string::npos)
      << run.out;
  std::string back = install.path("back.bin");
  harness::run_orvane(
      install, {"4710", "rf", "0", "-s", std::to_string(firmware.size()), "-u", "-o", back}, &sim);
  EXPECT_TRUE(harness::read_file(back) == firmware);
}

TEST(FlashDownloadWithoutDevice, UsbModeReportsNoDevice) {
  harness::Install install;
  auto run = harness::run_orvane(install, {"4710", "wf", "0", "-i", install.path("a.bin"), "-u"});
  EXPECT_EQ(run.out, " [137]: no usb device! \t\n");
  EXPECT_EQ(run.exit_code, 0);
}

TEST(FlashDownloadWithoutDevice, EvkModeLeavesTheReportToTheLoader) {
  harness::Install install;
  auto run = harness::run_orvane(install, {"4715", "wf", "0", "-i", install.path("a.bin")});
  EXPECT_EQ(run.out, " [130]: no evk device! \t\n");
}

TEST(FlashDownloadOverEvk, ProgramsTheFlashBehindTheProbe) {
  harness::Install install;
  harness::Simulator sim("--mode evk --type 3 --timing zero");
  auto image = make_image(300);
  std::string path = save_image(install, "image.bin", image);
  auto run = harness::run_orvane(install, {"4715", "wf", "1000", "-i", path}, &sim);
  EXPECT_EQ(mask_times(run.out), " ZK32 EVK : Vlane OK \t\n"
                                 " Flash Sector (4K) Erase at address 1000 \t\n"
                                 " Flash Page Program at address 1000 \t\n"
                                 " File Download to 0x001000: 300 bytes \t\n"
                                 " Total Time: # ms \t\n");
  EXPECT_EQ(flash_bytes(sim, 0x1000, 300), image);
  auto missing = harness::run_orvane(install, {"4715", "wf", "0", "-i", install.path("x.bin")},
                                     &sim);
  EXPECT_EQ(missing.out, " ZK32 EVK : Vlane OK \t\n [151]: open. bin file err! \t\n");
  path = save_image(install, "large.bin", make_image(1048577));
  auto large = harness::run_orvane(install, {"4715", "wf", "0", "-i", path}, &sim);
  EXPECT_EQ(large.out,
            " ZK32 EVK : Vlane OK \t\n [153]: .bin file larger than 1048576 bytes! \t\n");
}

}  // namespace
