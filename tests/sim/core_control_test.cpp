// SPDX-License-Identifier: Apache-2.0
// The core as the run-control operations drive it: reset request, start, halt, step,
// breakpoints and the program counter.
#include <gtest/gtest.h>

#include "tests/sim/host.h"

using simtest::Host;
using simtest::Layout;

namespace {

class CoreControl : public ::testing::Test {
 protected:
  // Boots the sample firmware from flash, as after a download and "rst".
  void boot_sample_firmware() {
    ASSERT_EQ("ok", host.ctl(std::string("flash-load ") + ZK32_EXAMPLES_DIR "/firmware.bin"));
    host.write_byte(0x6f, 0x20);
    host.pass_ms(3);
  }
  void stop() { host.write_byte(0x602, host.read_byte(0x602) | 0x02); }
  void step() {
    stop();
    host.write_byte(0x613, host.read_byte(0x613) | 0x80);
  }
  void run() {
    host.write_byte(0x613, host.read_byte(0x613) | 0x80);
    host.write_byte(0x602, host.read_byte(0x602) & 0xfd);
  }
  uint32_t pc() { return host.read_word(0x6bc); }

  Host host{Host::options("usb", 1)};
};

TEST_F(CoreControl, ResetRequestReadsBackReadyFromTheConfiguredRead) {
  host.ctl("set reset-ready-after 3");
  // The loader repeats the request before each read: the reads still count up.
  for (int attempt = 1; attempt <= 3; ++attempt) {
    host.write_byte(0x602, 0x05);
    EXPECT_EQ(attempt == 3, (host.read_byte(0x602) & 5) == 5) << "attempt " << attempt;
  }
  // Once the core has been started, a new request starts the count again.
  host.write_byte(0x602, 0x88);
  host.write_byte(0x602, 0x05);
  EXPECT_NE(5, host.read_byte(0x602) & 5);
}

TEST_F(CoreControl, StoppedFirmwareShowsPcInsideTheMainLoop) {
  boot_sample_firmware();
  stop();
  uint32_t at = pc();
  EXPECT_GT(at, 0x120u);
  EXPECT_LE(at, 0x13cu);
  EXPECT_EQ(2, host.read_byte(0x602) & 2);
  // A halted core stays put.
  host.pass_ms(2);
  EXPECT_EQ(at, pc());
}

TEST_F(CoreControl, StepExecutesExactlyOneInstruction) {
  boot_sample_firmware();
  stop();
  host.ctl("pc-set 128");
  step();
  EXPECT_EQ(0x12cu, pc());
  EXPECT_EQ(0, host.read_byte(0x613) & 0x80) << "the step request clears itself";
  step();
  EXPECT_EQ(0x130u, pc());
  host.ctl("pc-set 13c");  // j 0x124
  step();
  EXPECT_EQ(0x124u, pc());
  EXPECT_EQ("124", host.ctl("pc-get"));
}

TEST_F(CoreControl, EnabledBreakpointHaltsTheRunningCore) {
  boot_sample_firmware();
  host.write(0x610, {0x30, 0x01, 0x00, 0x01});  // entry 0: 0x130, enabled
  host.pass_ms(3);
  EXPECT_EQ(0x130u, pc());
  EXPECT_EQ(2, host.read_byte(0x602) & 2);
  // Run leaves the breakpoint behind and meets it again on the next pass of the loop.
  run();
  host.pass_ms(3);
  EXPECT_EQ(0x130u, pc());
  // Resumed (halt bit cleared, no step) at one breakpoint, the core leaves it and halts at
  // the next.
  host.write(0x614, {0x34, 0x01, 0x00, 0x01});  // entry 1: 0x134, enabled
  host.write_byte(0x602, host.read_byte(0x602) & 0xfd);
  host.pass_ms(3);
  EXPECT_EQ(0x134u, pc());
  host.write(0x614, {0x34, 0x01, 0x00, 0x00});
  // Disabled again, the core runs freely.
  host.write(0x610, {0x30, 0x01, 0x00, 0x00});
  run();
  EXPECT_EQ(0, host.read_byte(0x602) & 2);
}

TEST_F(CoreControl, ResumeKeepsTheProgramCounterAfterAnSramStart) {
  // A non-writer image at the SRAM base runs as user firmware from the base.
  host.write(0x8000, {0x13, 0, 0, 0, 0x00, 0x80, 0x00, 0xe0});  // nop; j 0x8000
  host.write_byte(0x602, 0x05);
  host.write_byte(0x602, 0x88);
  host.pass_ms(2);
  stop();
  uint32_t at = pc();
  EXPECT_TRUE(at == 0x8000u || at == 0x8004u);
  run();  // clearing the halt bit of 0x8a writes 0x88 again: a resume, not a restart
  host.pass_ms(1);
  stop();
  at = pc();
  EXPECT_TRUE(at == 0x8000u || at == 0x8004u);
}

TEST_F(CoreControl, Type4StartsOnlyWithItsOwnStartByte) {
  Host type4(Host::options("usb", 4));
  ASSERT_EQ("ok", type4.ctl(std::string("flash-load ") + ZK32_EXAMPLES_DIR "/firmware.bin"));
  type4.write(0x40000, {0x00, 0x00, 0x04, 0xe0}, Layout::kLong);  // j 0x40000
  type4.write_byte(0x602, 0x05, Layout::kLong);
  type4.write_byte(0x602, 0x88, Layout::kLong);
  EXPECT_EQ("0", type4.ctl("pc-get"));  // still held by the reset request
  type4.write_byte(0x602, 0x80, Layout::kLong);
  EXPECT_EQ("40000", type4.ctl("pc-get"));
}

}  // namespace
