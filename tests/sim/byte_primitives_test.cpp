// SPDX-License-Identifier: Apache-2.0
// The flash SPI controller, the OTP array and the analog window, driven one register byte at
// a time as the byte primitives and the analog access drive them.
#include <gtest/gtest.h>

#include "tests/sim/host.h"

using simtest::Host;

namespace {

class BytePrimitives : public ::testing::Test {
 protected:
  void reg(uint32_t address, uint8_t value) { host.write_byte(address, value); }
  void begin() {
    reg(0x0d, 0x01);
    reg(0x0d, 0x00);
  }
  void address(uint32_t a) {
    reg(0x0c, uint8_t(a >> 16));
    reg(0x0c, uint8_t(a >> 8));
    reg(0x0c, uint8_t(a));
  }
  void write_enable() {
    begin();
    reg(0x0c, 0x06);
    begin();
  }
  void flash_erase(uint32_t a) {
    reg(0x602, 0x05);
    write_enable();
    reg(0x0c, 0x20);
    address(a);
    reg(0x0d, 0x01);
  }
  void flash_write(uint32_t a, const std::vector<uint8_t> &data, bool enable = true) {
    reg(0x602, 0x05);
    if (enable) {
      write_enable();
    } else {
      begin();
    }
    reg(0x0c, 0x02);
    address(a);
    for (uint8_t b : data) reg(0x0c, b);
    reg(0x0d, 0x01);
  }
  std::vector<uint8_t> flash_read(uint32_t a, int n) {
    reg(0x602, 0x05);
    begin();
    reg(0x0c, 0x03);
    address(a);
    reg(0x0c, 0x00);
    reg(0x0d, 0x0a);
    std::vector<uint8_t> out;
    for (int i = 0; i < n; ++i) out.push_back(host.read_byte(0x0c));
    reg(0x0d, 0x01);
    return out;
  }
  void analog_write(uint8_t number, uint8_t value) { host.write(0xb8, {number, value, 0x60}); }
  void otp_write(uint16_t a, uint8_t value) {
    host.write(0x60, {0x00, 0x00, 0x00});
    host.write(0x63, {0xff, 0xff, 0x07});
    reg(0x602, 0x05);
    analog_write(0x88, 0x92);
    reg(0x12, 0x7e);
    reg(0x71, 0x24);
    reg(0x10, uint8_t(a));
    reg(0x11, uint8_t(a >> 8));
    reg(0x1a, 0x02);
    reg(0x13, value);
    reg(0x13, value);
    analog_write(0x88, 0x9a);
  }
  uint8_t otp_read(uint16_t a) {
    uint16_t start = uint16_t(a - 4);
    reg(0x10, uint8_t(start));
    reg(0x11, uint8_t(start >> 8));
    reg(0x1a, 0x06);
    host.read_byte(0x13);
    host.read_byte(0x00);
    host.read_byte(0x19);
    return host.read_byte(0x19);
  }

  Host host{Host::options("usb", 1)};
};

TEST_F(BytePrimitives, SpiEraseProgramAndReadData) {
  host.ctl("flash-write fff 0000");
  flash_erase(0x101234);  // the 1 MB flash sees 0x101234 as 0x1234
  EXPECT_EQ("00ff", host.ctl("flash-read fff 2"));
  flash_write(0x10fe, {0xa1, 0xb2, 0xc3});  // wraps to the start of the page
  EXPECT_EQ("c3", host.ctl("flash-read 1000 1"));
  EXPECT_EQ("a1b2", host.ctl("flash-read 10fe 2"));
  EXPECT_EQ((std::vector<uint8_t>{0xa1, 0xb2, 0xff}), flash_read(0x10fe, 3));
  EXPECT_TRUE(flash_read(0, 0).empty());
}

TEST_F(BytePrimitives, ChipResetReturnsThePeripheralsToTheirPowerUpState) {
  write_enable();
  reg(0xb8, 0x42);
  reg(0x6f, 0x20);
  EXPECT_EQ(0x01, host.read_byte(0x0d));  // deselected
  EXPECT_EQ(0x00, host.read_byte(0xb8));
  flash_write(0x3000, {0x00}, false);  // the latch set before the reset is gone
  EXPECT_EQ("ff", host.ctl("flash-read 3000 1"));
}

TEST_F(BytePrimitives, SpiProgramAndEraseNeedTheWriteEnableLatch) {
  flash_write(0x2000, {0x00}, false);
  EXPECT_EQ("ff", host.ctl("flash-read 2000 1"));
  flash_write(0x2000, {0x0f});
  flash_write(0x2000, {0xf0}, false);  // the latch cleared after the first program
  EXPECT_EQ("0f", host.ctl("flash-read 2000 1"));
}

TEST_F(BytePrimitives, OtpBitsStayProgrammed) {
  otp_write(0x0002, 0x0f);
  EXPECT_EQ(0x0f, otp_read(0x0002));  // start address 0xfffe wraps
  otp_write(0x0002, 0xf0);
  EXPECT_EQ(0xff, otp_read(0x0002));
  EXPECT_EQ("00ff00", host.ctl("otp-read 1 3"));
}

TEST_F(BytePrimitives, OtpWriteWithoutItsSetUpProgramsNothing) {
  reg(0x10, 0x20);
  reg(0x11, 0x00);
  reg(0x1a, 0x02);
  reg(0x13, 0x55);
  EXPECT_EQ(0x00, otp_read(0x20));
  otp_write(0x20, 0x55);
  EXPECT_EQ(0x55, otp_read(0x20));
}

TEST_F(BytePrimitives, AnalogAccessIsBusyForTheConfiguredTime) {
  host.ctl("analog-write 42 99");
  host.ctl("set analog-busy-ms 20");
  host.write_byte(0xb8, 0x42);
  host.write_byte(0xba, 0x40);
  EXPECT_EQ(1, host.read_byte(0xba) & 1);
  host.pass_ms(19);
  EXPECT_EQ(1, host.read_byte(0xba) & 1);
  host.pass_ms(1);
  EXPECT_EQ(0, host.read_byte(0xba) & 1);
  EXPECT_EQ(0x99, host.read_byte(0xb9));

  host.ctl("set analog-busy-ms 0");
  analog_write(0x43, 0x77);
  EXPECT_EQ("77", host.ctl("analog-read 43 1"));

  host.ctl("set analog-busy-ms never");
  analog_write(0x44, 0x11);
  host.pass_ms(60000);
  EXPECT_EQ(1, host.read_byte(0xba) & 1);
  EXPECT_EQ("00", host.ctl("analog-read 44 1"));
}

}  // namespace
