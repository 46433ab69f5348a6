// SPDX-License-Identifier: Apache-2.0
// Firmware download into SRAM: the image in one write, the type 1 run flag, the start byte.
#include <algorithm>
#include <cstdio>
#include <ostream>

#include <gtest/gtest.h>

#include "download_support.h"

using dltest::make_image;
using harness::mask_times;
using dltest::save_image;
using dltest::trace_lines;

namespace {

struct SramCase {
  const char *sim_options;
  const char *chip;
  bool usb;
  const char *address;
  const char *loader_line;
  std::vector<std::string> writes_after_image;  // trace lines, after the image write
};

void PrintTo(const SramCase &c, std::ostream *os) { *os << c.sim_options; }

class SramDownload : public ::testing::TestWithParam<SramCase> {};

// Types 1 and 2 share the SRAM base 0x8000, types 3 and 4 use 0x40000 and, in usb mode, the
// long request layout.  Only type 1 gets the run flag at 0x8ff0; only type 4 starts with 0x80.
INSTANTIATE_TEST_SUITE_P(
    TypesAndModes, SramDownload,
    ::testing::Values(
        SramCase{"--mode usb --type 1", "4710", true, "8100", " ZK32 USB : USB OK \t\n",
                 {"w s 8ff0 01", "w s 602 88"}},
        SramCase{"--mode usb --type 2", "4712", true, "8100", " ZK32 USB : USB OK \t\n",
                 {"w s 602 88"}},
        SramCase{"--mode usb --type 3", "4715", true, "40100", " ZK32 USB : USB OK \t\n",
                 {"w l 602 88"}},
        SramCase{"--mode usb --type 4", "4716", true, "40100", " ZK32 USB : USB OK \t\n",
                 {"w l 602 80"}},
        SramCase{"--mode evk --type 1", "4710", false, "8100", " ZK32 EVK : Vlane OK \t\n",
                 {"vw 8ff0 01", "vw 602 88"}},
        SramCase{"--mode evk --type 3", "4715", false, "40100", " ZK32 EVK : Vlane OK \t\n",
                 {"vw 602 88"}},
        SramCase{"--mode evk --type 4", "4716", false, "40100", " ZK32 EVK : Vlane OK \t\n",
                 {"vw 602 80"}}));

TEST_P(SramDownload, WritesTheImageThenStartsTheCore) {
  const SramCase &c = GetParam();
  harness::Install install;
  harness::Simulator sim(std::string(c.sim_options) + " --timing zero");
  auto image = make_image(64);
  std::string path = save_image(install, "image.bin", image);
  std::vector<std::string> args = {c.chip, "wc", c.address, "0", "-i", path};
  if (c.usb) args.push_back("-u");
  sim.ctl("trace-clear");
  auto run = harness::run_orvane(install, args, &sim);

  std::string address = c.address;
  char summary[64];
  std::snprintf(summary, sizeof summary, " File Download to 0x%.6lx: 64 bytes \t\n",
                std::stoul(address, nullptr, 16));
  EXPECT_EQ(mask_times(run.out),
            std::string(c.loader_line) + summary + " Total Time: # ms ,MCU Run \t\n");
  EXPECT_EQ(sim.ctl("mem-read target " + address + " 40"), harness::to_hex(image));
  // The writes after the image, in order (the loader's own 0x8ff0 and 0x602 writes come
  // before it).
  auto writes = trace_lines(sim, c.usb ? "w " : "vw ");
  auto at = std::find_if(writes.begin(), writes.end(), [&](const std::string &line) {
    return line.find(" " + address + " " + harness::to_hex(image)) != std::string::npos;
  });
  ASSERT_NE(at, writes.end());
  EXPECT_EQ(std::vector<std::string>(at + 1, writes.end()), c.writes_after_image);
}

// Each failed write ends the SRAM download with its variant's line; the core is started only
// after the image (and the type 1 run flag) went through in full.  The failing images lie
// beyond the flash writer, which the loader has just written to the start of SRAM.
struct SramFailureCase {
  const char *sim_options;
  const char *chip;
  bool usb;
  const char *address;
  std::string fault;  // a simulator fault, or "stall-at PREFIX": stall the last such request
  const char *loader_line;
  const char *expected_line;
};

void PrintTo(const SramFailureCase &c, std::ostream *os) { *os << c.sim_options << ", " << c.fault; }

class SramDownloadFailure : public ::testing::TestWithParam<SramFailureCase> {};

INSTANTIATE_TEST_SUITE_P(
    Variants, SramDownloadFailure,
    ::testing::Values(
        SramFailureCase{"--mode usb --type 1", "4710", true, "9000", "write-fail 9000",
                        " ZK32 USB : USB OK \t\n", " [148]: write .bin file err! \t\n"},
        SramFailureCase{"--mode usb --type 3", "4715", true, "41000", "write-fail 41000",
                        " ZK32 USB : USB OK \t\n", " [146]: write .bin file err! \t\n"},
        SramFailureCase{"--mode evk --type 1", "4710", false, "9000", "vlane-write-fail 9000",
                        " ZK32 EVK : Vlane OK \t\n", " [155]: write file err! \t\n"},
        // The loader's own 0x8ff0 write is not checked, so the fault shows only here.
        SramFailureCase{"--mode usb --type 1", "4710", true, "8100", "write-fail 8ff0",
                        " ZK32 USB : USB OK \t\n", " [149]: mcu run err! \t\n"},
        SramFailureCase{"--mode evk --type 1", "4710", false, "8100", "vlane-write-fail 8ff0",
                        " ZK32 EVK : Vlane OK \t\n", " [156]: mcu run err! \t\n"},
        SramFailureCase{"--mode usb --type 1", "4710", true, "8100", "stall-at w s 602 88",
                        " ZK32 USB : USB OK \t\n", " [150]: mcu run err! \t\n"},
        SramFailureCase{"--mode usb --type 3", "4715", true, "40100", "stall-at w l 602 88",
                        " ZK32 USB : USB OK \t\n", " [147]: mcu run err! \t\n"},
        // In evk mode the byte goes to 0x602 through the probe's command block.
        SramFailureCase{"--mode evk --type 1", "4710", false, "9000",
                        "stall-at w s 9ff8 0206000001000041", " ZK32 EVK : Vlane OK \t\n",
                        " [157]: mcu run err! \t\n"}));

TEST_P(SramDownloadFailure, ReportsTheVariantsLineAndStops) {
  const SramFailureCase &c = GetParam();
  harness::Install install;
  harness::Simulator sim(std::string(c.sim_options) + " --timing zero");
  std::string path = save_image(install, "image.bin", make_image(64));
  std::vector<std::string> args = {c.chip, "wc", c.address, "0", "-i", path};
  if (c.usb) args.push_back("-u");
  std::string fault = c.fault;
  if (fault.compare(0, 9, "stall-at ") == 0) {
    // A clean run first: the start byte after the image is the last write of the start
    // byte (the loader's own start comes before it).
    sim.ctl("trace-clear");
    harness::run_orvane(install, args, &sim);
    sim.ctl(dltest::stall_at(sim, fault.substr(9), -1));
  } else {
    sim.ctl("fault " + fault);
  }
  auto run = harness::run_orvane(install, args, &sim);
  EXPECT_EQ(run.out, std::string(c.loader_line) + c.expected_line);
}

TEST(SramDownloadEdges, EmptyImageStartsTheCoreAndReportsZeroBytes) {
  harness::Install install;
  harness::Simulator sim("--mode usb --type 4 --timing zero");
  std::string path = save_image(install, "empty.bin", {});
  sim.ctl("trace-clear");
  auto run = harness::run_orvane(install, {"4716", "wc", "40000", "0", "-i", path, "-u"}, &sim);
  EXPECT_EQ(mask_times(run.out), " ZK32 USB : USB OK \t\n"
                                 " File Download to 0x040000: 0 bytes \t\n"
                                 " Total Time: # ms ,MCU Run \t\n");
  auto writes = trace_lines(sim, "w ");
  ASSERT_FALSE(writes.empty());
  EXPECT_EQ(writes.back(), "w l 602 80");
}

TEST(SramDownloadEdges, AddressBelowSramIsRefusedWithoutTouchingTheDevice) {
  harness::Install install;
  harness::Simulator sim("--mode usb --type 1 --timing zero");
  std::string path = save_image(install, "image.bin", make_image(16));
  sim.ctl("trace-clear");
  auto run = harness::run_orvane(install, {"4710", "wc", "4000", "0", "-i", path, "-u"}, &sim);
  EXPECT_EQ(run.out, " [20]: invalid sram download address of wc!\n");
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_TRUE(sim.trace().empty());
}

}  // namespace
