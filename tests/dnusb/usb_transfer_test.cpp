// SPDX-License-Identifier: Apache-2.0
// Request layouts and the transfers of the vendor-request layer, pinned byte for byte.
#include "fake_port.h"

namespace {

using fake::Bytes;
using fake::to_hex;
using fake::Reply;
using fake::Request;

class UsbTransfer : public fake::PortTest {};

TEST_F(UsbTransfer, ShortWriteSendsHeaderWithRepeatedFirstByteThenData) {
  dn_handle_t h = open_device();
  const Bytes data = {0x11, 0x22, 0x33};
  EXPECT_EQ(WriteUSBMem(h, 0x602, data.data(), 3, 0, 1024), 3);
  ASSERT_EQ(log().size(), 1u);
  EXPECT_TRUE(log()[0].write);
  EXPECT_EQ(to_hex(log()[0].input), "0206021111111111112233");
}

TEST_F(UsbTransfer, AddressBytesAndFlagInBothLayouts) {
  dn_handle_t h = open_device();
  unsigned char b = 0;
  WriteUSBMem(h, 0x12345, &b, 1, 0, 32);
  WriteUSBMem2(h, 0x12345, &b, 1, 0, 32);
  WriteUSBMem2(h, 0x40004, &b, 1, 1, 32);
  WriteUSBMem(h, 0x40004, &b, 1, 7, 32);  // any nonzero flag
  ASSERT_EQ(log().size(), 4u);
  EXPECT_EQ(to_hex(Bytes(log()[0].input.begin(), log()[0].input.begin() + 3)), "022345");
  EXPECT_EQ(to_hex(Bytes(log()[1].input.begin(), log()[1].input.begin() + 3)), "814523");
  EXPECT_EQ(to_hex(Bytes(log()[2].input.begin(), log()[2].input.begin() + 3)), "c40400");
  EXPECT_EQ(to_hex(Bytes(log()[3].input.begin(), log()[3].input.begin() + 3)), "030004");
}

TEST_F(UsbTransfer, LongReadHeaderOffersCountPlusEight) {
  dn_handle_t h = open_device();
  unsigned char dest[16] = {0xab};
  EXPECT_EQ(ReadUSBMem2(h, 0x9ff0, dest, 16, 0, 1024), 16);
  ASSERT_EQ(log().size(), 1u);
  EXPECT_FALSE(log()[0].write);
  EXPECT_EQ(log()[0].out_size, 24u);
  ASSERT_EQ(log()[0].input.size(), 16u);
  EXPECT_EQ(to_hex(Bytes(log()[0].input.begin(), log()[0].input.begin() + 4)), "80f09fab");
}

TEST_F(UsbTransfer, CountsAtTheEdges) {
  dn_handle_t h = open_device();
  unsigned char data[8000] = {0x5a};
  // An empty write still sends the header with the byte at the data pointer.
  EXPECT_EQ(WriteUSBMem(h, 0x10, data, 0, 0, 1024), 0);
  EXPECT_EQ(to_hex(log().back().input), "0200105a5a5a5a5a");
  // An empty read asks for one byte and gives 1.
  EXPECT_EQ(ReadUSBMem(h, 0x10, data, 0, 0, 1024), 1);
  EXPECT_EQ(log().back().out_size, 9u);
  // Above the chunk limit only the limit moves; the retrying read still gives the count.
  EXPECT_EQ(WriteUSBMem(h, 0x10, data, 100, 0, 32), 32);
  EXPECT_EQ(log().back().input.size(), 40u);
  EXPECT_EQ(ReadUSBMem(h, 0x10, data, 100, 0, 32), 32);
  EXPECT_EQ(ReadUSBMemCheck(h, 0x10, data, 100, 0, 32), 100);
  // One request never carries more than its 4096-byte buffer holds.
  EXPECT_EQ(WriteUSBMem(h, 0x10, data, 5000, 0, 8000), 4088);
  EXPECT_EQ(log().back().input.size(), 4096u);
}

TEST_F(UsbTransfer, RetryingReadResumesAfterPartialReply) {
  dn_handle_t h = open_device();
  int call = 0;
  fake().on_read = [&](const Request &) {
    Bytes piece;
    for (int i = 0; i < (call == 0 ? 10 : 6); ++i) piece.push_back(static_cast<unsigned char>(call * 10 + i));
    ++call;
    return Reply{true, piece};
  };
  unsigned char dest[16] = {0x77};
  EXPECT_EQ(ReadUSBMemCheck2(h, 0x9ff0, dest, 16, 0, 1024), 16);
  ASSERT_EQ(log().size(), 2u);
  EXPECT_EQ(log()[0].out_size, 24u);
  EXPECT_EQ(log()[1].out_size, 14u);
  EXPECT_EQ(log()[1].address(), 0x9ffau);
  EXPECT_EQ(log()[1].input[3], 0x77);  // byte 3 keeps its first value
  for (int i = 0; i < 16; ++i) EXPECT_EQ(dest[i], i);
}

TEST_F(UsbTransfer, RetryingReadMakesExactAttemptCountWhenEveryAttemptFails) {
  dn_handle_t h = open_device();
  fake().on_read = [](const Request &) { return Reply{false, {}}; };
  static unsigned char dest[3072];
  const int counts[] = {1, 4, 16, 3072};
  const size_t attempts[] = {4, 5, 8, 772};
  for (int i = 0; i < 4; ++i) {
    log().clear();
    EXPECT_EQ(ReadUSBMemCheck(h, 0, dest, counts[i], 0, 3072), 0);
    EXPECT_EQ(log().size(), attempts[i]) << "count " << counts[i];
  }
}

TEST_F(UsbTransfer, OverlongReplyNeverLandsPastTheDestination) {
  dn_handle_t h = open_device();
  fake().on_read = [](const Request &r) { return Reply{true, Bytes(r.out_size, 0xee)}; };
  unsigned char buf[4 + 8] = {};
  EXPECT_EQ(ReadUSBMem(h, 0, buf, 4, 0, 1024), 0);  // a reply of another length fails
  EXPECT_EQ(ReadUSBMemCheck(h, 0, buf, 4, 0, 1024), 0);
  for (int i = 4; i < 12; ++i) EXPECT_EQ(buf[i], 0) << i;
}

TEST_F(UsbTransfer, WriteIsReadBackOnlyAboveEightBytes) {
  dn_handle_t h = open_device();
  unsigned char data[9] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
  EXPECT_EQ(WriteUSBMemCheck(h, 0x8000, data, 8, 0, 1024), 8);
  EXPECT_EQ(log().size(), 1u);
  log().clear();
  EXPECT_EQ(WriteUSBMemCheck2(h, 0x8000, data, 9, 0, 1024), 9);
  ASSERT_EQ(log().size(), 2u);
  EXPECT_TRUE(log()[0].write);
  EXPECT_FALSE(log()[1].write);
  EXPECT_EQ(log()[1].out_size, 17u);
  EXPECT_EQ(log()[1].address(), 0x8000u);
}

TEST_F(UsbTransfer, RegisterAccessMovesOneLowByte) {
  dn_handle_t h = open_device();
  EXPECT_EQ(WriteUSBReg(h, 0x6f, 0x1ff), 1);
  EXPECT_EQ(to_hex(log().back().input), "02006fffffffffffff");
  uint32_t value = 0xffffffff;
  fake().memory[0x6f] = 0x9c;
  EXPECT_EQ(ReadUSBReg2(h, 0x6f, &value), 1);
  EXPECT_EQ(value, 0x9cu);
  fake().on_read = [](const Request &) { return Reply{false, {}}; };
  fake().on_write = [](const Request &) { return false; };
  EXPECT_EQ(ReadUSBReg(h, 0x6f, &value), 0);
  EXPECT_EQ(WriteUSBReg2(h, 0x6f, 1), 0);
  EXPECT_EQ(ReadUartMem(h, nullptr), -1);
}

TEST_F(UsbTransfer, UnknownHandleFailsWithoutTraffic) {
  unsigned char b = 0;
  EXPECT_EQ(WriteUSBMem(77, 0, &b, 1, 0, 32), 0);
  EXPECT_EQ(ReadUSBMemCheck(0, 0, &b, 1, 0, 32), 0);
  EXPECT_TRUE(log().empty());
}

}  // namespace
