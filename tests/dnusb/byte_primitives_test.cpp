// SPDX-License-Identifier: Apache-2.0
// The register sequences of the flash and OTP byte primitives.
#include "fake_port.h"

namespace {

using fake::Request;

class BytePrimitives : public fake::PortTest {
 protected:
  // The traffic as "ADDR=DATA" for writes and "ADDR?" for reads (hex, short layout).
  std::string steps() {
    std::string out;
    char text[16];
    for (const Request &r : log()) {
      EXPECT_EQ(r.input[0], 0x02);  // short layout, never the fixed-address flag
      snprintf(text, sizeof text, r.write ? "%x=" : "%x?", r.address());
      out += (out.empty() ? "" : " ") + std::string(text);
      if (r.write) out += fake::to_hex(fake::Bytes(r.input.begin() + 8, r.input.end()));
    }
    log().clear();
    return out;
  }
};

TEST_F(BytePrimitives, FlashEraseAndProgramSequences) {
  dn_handle_t h = open_device();
  EXPECT_EQ(dn_flash_erase(h, 0xA12345), 0);
  EXPECT_EQ(steps(), "602=05 d=01 d=00 c=06 d=01 d=00 c=20 c=a1 c=23 c=45 d=01");
  EXPECT_EQ(dn_flash_erase(h, 0x1A12345), 0);  // bits above 23 are not sent
  EXPECT_EQ(steps(), "602=05 d=01 d=00 c=06 d=01 d=00 c=20 c=a1 c=23 c=45 d=01");
  EXPECT_EQ(dn_flash_write(h, 0x1000, nullptr, 0), 0);
  EXPECT_EQ(steps(), "602=05 d=01 d=00 c=06 d=01 d=00 c=02 c=00 c=10 c=00 d=01");
  const unsigned char data[2] = {0xde, 0xad};
  EXPECT_EQ(dn_flash_write(h, 0x1000, data, 2), 0);
  EXPECT_EQ(steps(), "602=05 d=01 d=00 c=06 d=01 d=00 c=02 c=00 c=10 c=00 c=de c=ad d=01");
  EXPECT_EQ(fake().sleeps, (std::vector<uint32_t>{100, 100, 10, 10}));
}

TEST_F(BytePrimitives, FlashReadSequence) {
  dn_handle_t h = open_device();
  EXPECT_EQ(dn_flash_read(h, 0x123456, nullptr, 0), 0);
  EXPECT_EQ(steps(), "602=05 d=01 d=00 c=03 c=12 c=34 c=56 c=00 d=0a d=01");
  fake().on_write = [](const Request &) { return true; };  // the data register keeps its byte
  fake().memory[0x0c] = 0x3c;
  unsigned char dest[3] = {};
  EXPECT_EQ(dn_flash_read(h, 0x10, dest, 2), 0);
  EXPECT_EQ(steps(), "602=05 d=01 d=00 c=03 c=00 c=00 c=10 c=00 d=0a c? c? d=01");
  EXPECT_EQ(dest[0], 0x3c);
  EXPECT_EQ(dest[1], 0x3c);
  EXPECT_EQ(dest[2], 0);
  EXPECT_EQ(fake().sleeps, (std::vector<uint32_t>{10, 10}));
}

TEST_F(BytePrimitives, OtpSequences) {
  dn_handle_t h = open_device();
  EXPECT_EQ(dn_otp_write(h, 0x1234, 0x1a5), 0);
  EXPECT_EQ(steps(), "60=000000 63=ffff07 602=05 b8=889260 12=7e 71=24 10=34 11=12 1a=02 "
                     "13=a5 13=a5 b8=889a60");
  EXPECT_EQ(fake().sleeps, (std::vector<uint32_t>{10}));
  fake().on_write = [](const Request &) { return true; };
  fake().memory[0x19] = 0x6b;
  EXPECT_EQ(dn_otp_read(h, 2), 0x6b);  // the address minus 4, low 16 bits
  EXPECT_EQ(steps(), "10=fe 11=ff 1a=06 13? 0? 19? 19?");
}

TEST_F(BytePrimitives, SingleRegisterBytes) {
  dn_handle_t h = open_device();
  EXPECT_EQ(dn_write_byte(h, 0x613, 0x1ff), 0);
  EXPECT_EQ(dn_write_byte_a(h, 0x88, 0x92), 0);
  EXPECT_EQ(steps(), "613=ff b8=889260");
  fake().memory[0x6f] = 0xc3;
  EXPECT_EQ(dn_read_byte(h, 0x6f), 0xc3);
  fake().on_read = [](const Request &) { return fake::Reply{false, {}}; };
  EXPECT_EQ(dn_read_byte(h, 0x6f), 0);  // a failed read gives 0
}

}  // namespace
