// SPDX-License-Identifier: Apache-2.0
// What the user names on the command line: only a regular file is read (a FIFO would block the
// open, /dev/zero would read as an empty image), and every path is used exactly as typed.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "download_support.h"
#include "harness.h"

namespace {

TEST(UserPaths, InputThatIsNoRegularFileIsRefusedWithoutBlocking) {
  harness::Simulator sim("--mode usb --type 1 --timing zero");
  harness::Install install;
  const std::string fifo = install.path("fifo.bin");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const std::string loaded = " ZK32 USB : USB OK \t\n";
  const std::string no_image = " [138]: open .bin file err! \t\n";
  const struct {
    std::vector<std::string> args;
    std::string out;
  } rows[] = {
      {{"4710", "wf", "0", "-i", fifo, "-u"}, loaded + no_image},
      {{"4710", "wf", "0", "-i", "/dev/zero", "-u"}, loaded + no_image},
      {{"4710", "wc", "8000", "0", "-i", fifo, "-u"}, loaded + no_image},
      {{"1", "1", "0", "1", "1", fifo}, loaded + no_image},
      {{"4710", "pc", "-i", fifo, "-u"}, " [38]: Open .lst Err!\n"},
  };
  for (const auto &row : rows) {
    const harness::RunResult r = harness::run_orvane(install, row.args, &sim, 20);
    EXPECT_EQ(r.out, row.out) << row.args[1] << " " << row.args.back();
  }
  // The flash-writer image named in config.ini.
  const std::string writer = install.path("writer/zk4710-sim.bin");
  ASSERT_EQ(std::remove(writer.c_str()), 0);
  ASSERT_EQ(mkfifo(writer.c_str(), 0600), 0);
  EXPECT_EQ(harness::run_orvane(install, {"4710", "wf", "0", "1", "-s", "1", "-u"}, &sim, 20).out,
            " [124]: open sram file err! \t\n");
}

TEST(UserPaths, OutputPathWithBackslashesIsUsedAsTyped) {
  harness::Simulator sim("--mode usb --type 1 --timing zero");
  harness::Install install;
  ASSERT_EQ(mkdir(install.path("sub").c_str(), 0700), 0);
  const std::string typed = install.path("sub\\..\\x.bin");
  const harness::RunResult r =
      harness::run_orvane(install, {"4710", "rf", "0", "-s", "16", "-u", "-o", typed}, &sim);
  EXPECT_EQ(harness::mask_times(r.out),
            " ZK32 USB : USB OK \t\n\n All 16 bytes have been saved! \t\n\n Total Time: # ms \t\n");
  EXPECT_TRUE(harness::file_exists(typed));
  EXPECT_FALSE(harness::file_exists(install.path("x.bin")));
}

}  // namespace
