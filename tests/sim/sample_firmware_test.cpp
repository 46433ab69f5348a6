// SPDX-License-Identifier: Apache-2.0
// The shipped sample firmware, listing and flash writers with the real program: what the
// README's walk-through shows must hold.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "harness.h"

namespace {

const std::string kFirmware = ZK32_EXAMPLES_DIR "/firmware.bin";
const std::string kListing = ZK32_EXAMPLES_DIR "/firmware.lst";

struct Case {
  const char *sim_options;
  const char *chip;
  bool usb;
};

class SampleFirmware : public ::testing::TestWithParam<Case> {
 protected:
  harness::RunResult orvane(std::vector<std::string> args) {
    args.insert(args.begin(), GetParam().chip);
    if (GetParam().usb) args.push_back("-u");
    return harness::run_orvane(install, args, &sim);
  }
  harness::Install install;
  harness::Simulator sim{GetParam().sim_options};
};

TEST_P(SampleFirmware, DownloadResetThenPcLandsInTheMainLoop) {
  harness::RunResult download = orvane({"wf", "0", "-i", kFirmware});
  ASSERT_NE(std::string::npos, download.out.find(" File Download to 0x000000: 3840 bytes \t\n"))
      << download.out;
  EXPECT_EQ(" Reset MCU \n", orvane({"rst"}).out);

  harness::RunResult pc = orvane({"pc", "-i", kListing});
  EXPECT_EQ(0u, pc.out.find("00000120 <main_loop>:\n     1")) << pc.out;

  harness::RunResult stop = orvane({"stop"});
  unsigned stopped = 0;
  ASSERT_EQ(1, sscanf(stop.out.c_str(), " Stop MCU, PC is : 0x%x", &stopped)) << stop.out;
  EXPECT_GT(stopped, 0x120u);
  EXPECT_LE(stopped, 0x13cu);
  unsigned stepped = 0;
  ASSERT_EQ(1, sscanf(orvane({"step"}).out.c_str(), " Step MCU, PC is : 0x%x", &stepped));
  EXPECT_EQ(stopped == 0x13c ? 0x124u : stopped + 4, stepped);
}

INSTANTIATE_TEST_SUITE_P(
    BothModes, SampleFirmware,
    ::testing::Values(Case{"--mode usb --type 1", "4710", true},
                      Case{"--mode evk --type 3", "4715", false}),
    [](const ::testing::TestParamInfo<Case> &param_info) {
      return std::string(param_info.param.usb ? "Usb" : "Evk");
    });

}  // namespace
