// SPDX-License-Identifier: Apache-2.0
// The byte primitives against the simulated chip: the SPI flash controller and the flash
// writer serve one flash, so what one path programs the other reads back.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "dnusb.h"
#include "harness.h"

namespace {

class BytePrimitivesOnChip : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("ZK32_SIM_DIR", sim.dir().c_str(), 1);
    unsetenv("ZK32_SIM_TCP");
    handle = GetPrintDeviceHandle(0xffff);
    ASSERT_NE(handle, 0u);
  }
  harness::Simulator sim{"--mode usb --type 1 --timing zero"};
  dn_handle_t handle = 0;
};

std::vector<unsigned char> page_pattern(unsigned seed) {
  std::vector<unsigned char> page(256);
  for (size_t i = 0; i < page.size(); ++i) page[i] = static_cast<unsigned char>(i * 7 + seed);
  return page;
}

TEST_F(BytePrimitivesOnChip, PageProgrammedOverSpiReadsBackThroughBothPaths) {
  auto page = page_pattern(3);
  EXPECT_EQ(dn_flash_erase(handle, 0x1000), 0);
  EXPECT_EQ(dn_flash_write(handle, 0x1000, page.data(), 256), 0);
  std::vector<unsigned char> back(256);
  EXPECT_EQ(dn_flash_read(handle, 0x1000, back.data(), 256), 0);
  EXPECT_EQ(back, page);
  EXPECT_EQ(sim.ctl("flash-read 1000 100"), harness::to_hex(page));
  // The rest of the erased sector stays erased.
  EXPECT_EQ(sim.ctl("flash-read 1100 2"), "ffff");

  // The same page through the flash writer ("rf").
  harness::Install install;
  std::string file = install.path("page.bin");
  harness::RunResult r = harness::run_orvane(install, {"4710", "rf", "1000", "-s", "256", "-u", "-o", file}, &sim);
  EXPECT_EQ(r.exit_code, 0) << r.out;
  EXPECT_EQ(harness::read_file(file), std::string(page.begin(), page.end()));
}

TEST_F(BytePrimitivesOnChip, ImageDownloadedByTheFlashWriterReadsBackOverSpi) {
  harness::Install install;
  auto image = page_pattern(11);
  image.resize(100);
  harness::write_file(install.path("image.bin"), std::string(image.begin(), image.end()));
  harness::RunResult r = harness::run_orvane(install, {"4710", "wf", "2000", "-i", install.path("image.bin"), "-u"}, &sim);
  ASSERT_EQ(r.exit_code, 0);
  ASSERT_NE(r.out.find(" File Download to 0x002000: 100 bytes \t\n"), std::string::npos) << r.out;
  std::vector<unsigned char> back(100);
  EXPECT_EQ(dn_flash_read(handle, 0x2000, back.data(), 100), 0);
  EXPECT_EQ(back, image);
}

TEST_F(BytePrimitivesOnChip, OtpBitsOnceProgrammedStayProgrammed) {
  EXPECT_EQ(dn_otp_write(handle, 0x20, 0x0f), 0);
  EXPECT_EQ(dn_otp_read(handle, 0x20), 0x0f);
  EXPECT_EQ(dn_otp_write(handle, 0x20, 0x30), 0);
  EXPECT_EQ(dn_otp_read(handle, 0x20), 0x3f);
  EXPECT_EQ(sim.ctl("otp-read 20 1"), "3f");
}

TEST_F(BytePrimitivesOnChip, RegisterAndAnalogBytes) {
  EXPECT_EQ(dn_write_byte(handle, 0x8010, 0x1a5), 0);
  EXPECT_EQ(dn_read_byte(handle, 0x8010), 0xa5);
  EXPECT_EQ(dn_write_byte_a(handle, 0x41, 0x5c), 0);
  EXPECT_EQ(sim.ctl("analog-read 41 1"), "5c");
}

}  // namespace
