// SPDX-License-Identifier: Apache-2.0
// The EVK probe: command taking through the mailbox, the Vlane commands, activation and the
// single-wire registers.
#include <gtest/gtest.h>

#include "tests/sim/host.h"

using simtest::Host;
using simtest::Layout;

namespace {

class EvkProbe : public ::testing::Test {
 protected:
  static std::vector<uint8_t> block(uint32_t word0, uint16_t count, uint16_t code) {
    return {uint8_t(word0),        uint8_t(word0 >> 8), uint8_t(word0 >> 16),
            uint8_t(word0 >> 24),  uint8_t(count),      uint8_t(count >> 8),
            uint8_t(code),         uint8_t(code >> 8)};
  }
  uint32_t completion() { return host.read_word(0x9ff0); }
  uint32_t command(uint32_t word0, uint16_t count, uint16_t code) {
    host.write(0x9ff8, block(word0, count, code));
    return completion();
  }

  Host host{Host::options("evk", 3)};
};

TEST_F(EvkProbe, IdentifiesItselfWithTheProbeIdWord) {
  EXPECT_EQ(0x0818u, host.read_word(0x7c) >> 16);
  host.write(0x7c, {0, 0, 0, 0});
  EXPECT_EQ(0x0818u, host.read_word(0x7c) >> 16);
}

TEST_F(EvkProbe, VlaneWriteCarriesTheStagingBufferToTheTarget) {
  host.write(0xa000, {0x5a});
  host.write(0x9ff8, {0x04, 0x00, 0x04, 0x00, 0x01, 0x00, 0x00, 0x41});
  EXPECT_EQ(1u, completion());
  EXPECT_EQ("5a", host.ctl("mem-read target 40004 1"));
  EXPECT_EQ("w s a000 5a\nw s 9ff8 0400040001000041\nevk 4100 40004 1\nvw 40004 5a\n"
            "r s 9ff0 4 01000000\n",
            host.ctl("trace"));
}

TEST_F(EvkProbe, VlaneReadFillsTheStagingBuffer) {
  host.ctl("mem-write target 40100 c0ffee");
  EXPECT_EQ(3u, command(0x40100, 3, 0xC100));
  EXPECT_EQ((std::vector<uint8_t>{0xc0, 0xff, 0xee}), host.read(0xa000, 3));
  EXPECT_NE(std::string::npos, host.ctl("trace").find("vr 40100 3 c0ffee\n"));
}

TEST_F(EvkProbe, NewCommandReplacesTheStaleCompletionWord) {
  EXPECT_EQ(1u, command(0, 1, 0x0700));
  host.ctl("fault probe-silent");
  EXPECT_EQ(0u, command(0, 1, 0x0700));
  host.ctl("fault-clear");
  EXPECT_EQ(1u, completion());  // the silent probe answers once the fault is gone
}

TEST_F(EvkProbe, ControlByteWriteIsNotACommand) {
  EXPECT_EQ(1u, command(0xb2, 1, 0x8100));
  host.ctl("trace-clear");
  host.write_byte(0x9fff, 0x50);
  host.write(0x9ffc, {0x01, 0x00, 0x00, 0x41});  // ends at 0x9fff, does not start at 0x9ff8
  host.write(0x9ff8, block(0, 1, 0x0700), Layout::kShort, true);  // fixed flag
  EXPECT_EQ(1u, completion());
  EXPECT_EQ(std::string::npos, host.ctl("trace").find("evk"));
}

TEST_F(EvkProbe, FailuresSetTheTopBitsOfTheCompletionWord) {
  host.ctl("fault vlane-broken");
  EXPECT_EQ(0x80000001u, command(0, 1, 0x0700));
  host.ctl("fault-clear");
  host.ctl("fault vlane-write-fail 40010");
  EXPECT_EQ(0x80000020u, command(0x40000, 0x20, 0x4100));
  EXPECT_EQ(0x10u, command(0x40000, 0x10, 0x4100));
  host.ctl("fault-clear");
  host.ctl("fault vlane-read-fail 40000");
  EXPECT_EQ(0x80000004u, command(0x40000, 4, 0xC100));
  host.ctl("fault-clear");
  host.ctl("fault probe-fail");
  EXPECT_EQ(0x80000001u, command(0, 1, 0x0700));
  host.ctl("fault-clear");
  EXPECT_EQ(0x80000001u, command(0, 1, 0x1234));  // unknown code
  EXPECT_EQ(0x80001001u, command(0x40000, 0x1001, 0xC100));  // beyond the staging buffer
}

TEST_F(EvkProbe, ActivationChangesTheStatusWordAfterItsDelay) {
  host.ctl("set activation-ms 30");
  host.write_byte(0x9fff, 0x10);
  uint32_t before = host.read_word(0x9ff4);
  host.write_byte(0x9fff, 0x4d);
  EXPECT_EQ(before, host.read_word(0x9ff4));
  EXPECT_EQ(1u, command(0x7f, 1, 0xC100));
  EXPECT_NE('S', host.read_byte(0xa000));
  host.pass_ms(29);
  EXPECT_EQ(before, host.read_word(0x9ff4));
  host.pass_ms(1);
  EXPECT_NE(before, host.read_word(0x9ff4));
  EXPECT_EQ(1u, command(0x7f, 1, 0xC100));
  EXPECT_EQ('S', host.read_byte(0xa000));
}

TEST_F(EvkProbe, ActivationThatNeverCompletes) {
  host.ctl("set activation-ms never");
  uint32_t before = host.read_word(0x9ff4);
  host.write_byte(0x9fff, 0x4d);
  host.pass_ms(60000);
  EXPECT_EQ(before, host.read_word(0x9ff4));
}

TEST_F(EvkProbe, SingleWireRegistersHoldWhatIsWritten) {
  host.write_byte(0xb2, 0x10);  // probe register P + 2
  EXPECT_EQ(1u, command(0xb3, 1, 0x0F00));
  host.write(0xa000, {0x10});
  EXPECT_EQ(1u, command(0xb2, 1, 0x4100));
  EXPECT_EQ(1u, command(0xb2, 1, 0xC100));
  EXPECT_EQ(0x10, host.read_byte(0xa000));
  EXPECT_EQ(0x10, host.read_byte(0xb2));

  host.ctl("fault sw-readback-broken");
  EXPECT_EQ(1u, command(0xb2, 1, 0xC100));
  EXPECT_NE(0x10, host.read_byte(0xa000));
}

}  // namespace
