// SPDX-License-Identifier: Apache-2.0
// How the device reads vendor requests in both layouts, and the transfer-level faults.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "tests/sim/host.h"

using simtest::Host;
using simtest::Layout;

namespace {

class RequestDecoding : public ::testing::Test {
 protected:
  Host host{Host::options("usb", 3)};
};

TEST_F(RequestDecoding, ShortLayoutWritesConsecutiveBytesAndReadsThemBack) {
  ASSERT_EQ(0, host.write(0x0602 + 0x100, {0x11, 0x22, 0x33}));
  EXPECT_EQ((std::vector<uint8_t>{0x11, 0x22, 0x33}), host.read(0x0702, 3));
  EXPECT_EQ("112233", host.ctl("mem-read target 702 3"));
  EXPECT_EQ("w s 702 112233\nr s 702 3 112233\n", host.ctl("trace"));
}

TEST_F(RequestDecoding, LongLayoutCarriesAddressBits21To16InTheRequestCode) {
  ASSERT_EQ(0, host.write(0x3f1234, {0xaa, 0xbb}, Layout::kLong));
  EXPECT_EQ("aabb", host.ctl("mem-read target 3f1234 2"));
  EXPECT_EQ((std::vector<uint8_t>{0xaa, 0xbb}), host.read(0x3f1234, 2, Layout::kLong));
  EXPECT_EQ("w l 3f1234 aabb\nr l 3f1234 2 aabb\n", host.ctl("trace"));
}

TEST_F(RequestDecoding, FixedFlagKeepsEveryByteOnOneAddress) {
  host.write(0x9000, {1, 2, 3}, Layout::kShort, true);
  EXPECT_EQ("030000", host.ctl("mem-read target 9000 3"));
  host.write(0x40010, {4, 5, 6}, Layout::kLong, true);
  EXPECT_EQ("060000", host.ctl("mem-read target 40010 3"));
  EXPECT_EQ((std::vector<uint8_t>{6, 6}), host.read(0x40010, 2, Layout::kLong, true));
  std::string trace = host.ctl("trace");
  EXPECT_NE(std::string::npos, trace.find("w s 9000 010203 fixed\n"));
  EXPECT_NE(std::string::npos, trace.find("r l 40010 2 0606 fixed\n"));
}

TEST_F(RequestDecoding, ReadAnswersEightBytesLessThanOffered) {
  int result = 0;
  EXPECT_EQ(16u, host.read(0x9000, 16, Layout::kShort, false, &result).size());
  EXPECT_EQ(16, result);
}

TEST_F(RequestDecoding, IdentityWordIsReadAt7e) {
  EXPECT_EQ(0x4715u, host.read_word(0x7e));
  host.ctl("set identity 4716");
  EXPECT_EQ(0x4716u, host.read_word(0x7e, Layout::kLong));
}

// Each row of the simulator's chip table: a simulator of that MCU type reports the chip's
// name as its identity word, as the real chip does.
TEST(ChipIdentity, FollowsTheTypeAsTheChipTableNamesIt) {
  std::ifstream table(ZK32_WRITER_DIR "/../config.ini");
  ASSERT_TRUE(table.good());
  int rows = 0;
  for (std::string line; std::getline(table, line);) {
    char name[16];
    unsigned type = 0;
    if (std::sscanf(line.c_str(), "MCU %x %*s = %15s", &type, name) != 2) continue;
    Host chip{Host::options("usb", static_cast<int>(type))};
    EXPECT_EQ(std::stoul(name, nullptr, 16), chip.read_word(0x7e)) << line;
    ++rows;
  }
  EXPECT_EQ(rows, 4);
}

TEST_F(RequestDecoding, MalformedRequestsStall) {
  zk32sim::SetupPacket unknown{0x41, 0x05, 0x0000, 0, 9};
  uint8_t data[9] = {5};
  EXPECT_EQ(-1, host.device().control(unknown, data, 9, nullptr));
  zk32sim::SetupPacket no_header{0x41, 0x02, 0x0000, 0, 4};
  EXPECT_EQ(-1, host.device().control(no_header, data, 4, nullptr));
  zk32sim::SetupPacket standard{0x80, 0x06, 0x0100, 0, 18};
  uint8_t in[18];
  EXPECT_EQ(-1, host.device().control(standard, nullptr, 0, in));
}

TEST_F(RequestDecoding, RawTraceShowsSetupFieldsAndData) {
  host.write(0x602, {5});
  host.read(0x602, 1);
  EXPECT_EQ("41 02 0602 0000 0009 > 020602050505050505\nc1 02 0602 0000 0009 < 05\n",
            host.ctl("trace-raw"));
  host.ctl("trace-clear");
  EXPECT_EQ("", host.ctl("trace"));
}

TEST_F(RequestDecoding, PcapCaptureRecordsSubmitAndCompletePerTransfer) {
  char path[] = "/tmp/zk32-sim-pcap-XXXXXX";
  int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  close(fd);
  ASSERT_EQ("ok", host.ctl(std::string("pcap ") + path));
  host.write(0x602, {5});  // 9-byte data stage
  host.read(0x602, 1);     // 1 byte delivered
  host.ctl("pcap /dev/null");  // closes the first capture
  std::ifstream in(path, std::ios::binary);
  std::vector<uint8_t> file(std::istreambuf_iterator<char>(in), {});
  remove(path);
  // 24-byte file header; 4 records of 16 + 64 bytes; the OUT and IN data bytes.
  ASSERT_EQ(24u + 4 * 80 + 9 + 1, file.size());
  EXPECT_EQ(220, file[20]);  // link type: USB Linux, memory-mapped
  EXPECT_EQ('S', file[24 + 16 + 8]);
  EXPECT_EQ(0x41, file[24 + 16 + 40]);  // setup packet of the submit
  EXPECT_EQ(0x05, file.back());         // the byte delivered by the read
}

class TransferFaults : public ::testing::Test {
 protected:
  Host host{Host::options("usb", 1)};
};

TEST_F(TransferFaults, StallHitsTheNthTransferOnly) {
  host.ctl("fault stall 2");
  EXPECT_EQ(0, host.write_byte(0x9000, 1));
  EXPECT_EQ(-1, host.write_byte(0x9001, 2));
  EXPECT_EQ(0, host.write_byte(0x9002, 3));
  EXPECT_EQ("010003", host.ctl("mem-read target 9000 3"));
}

TEST_F(TransferFaults, ReadFailTouchingAddressCountsDown) {
  host.ctl("fault read-fail 9004 2");
  int result = 0;
  host.read(0x9000, 4, Layout::kShort, false, &result);
  EXPECT_EQ(4, result);  // does not touch 0x9004
  host.read(0x9000, 8, Layout::kShort, false, &result);
  EXPECT_EQ(-1, result);
  host.read(0x9004, 1, Layout::kShort, false, &result);
  EXPECT_EQ(-1, result);
  host.read(0x9004, 1, Layout::kShort, false, &result);
  EXPECT_EQ(1, result);
}

TEST_F(TransferFaults, WriteFailLeavesMemoryUntouched) {
  host.ctl("fault write-fail 9001");
  EXPECT_EQ(-1, host.write(0x9000, {1, 2}));
  EXPECT_EQ(-1, host.write(0x9000, {1, 2}));
  EXPECT_EQ("0000", host.ctl("mem-read target 9000 2"));
  host.ctl("fault-clear");
  EXPECT_EQ(0, host.write(0x9000, {1, 2}));
}

TEST_F(TransferFaults, PiecesShortenInReplies) {
  host.ctl("mem-write target 9000 0102030405060708090a");
  host.ctl("fault pieces 3");
  int result = 0;
  std::vector<uint8_t> got = host.read(0x9000, 10, Layout::kShort, false, &result);
  EXPECT_EQ(3, result);
  EXPECT_EQ((std::vector<uint8_t>{1, 2, 3}), got);
}

TEST_F(TransferFaults, VanishedDeviceFailsEverythingButTheControlLanguage) {
  host.ctl("fault vanish");
  EXPECT_TRUE(host.device().vanished());
  EXPECT_EQ(-1, host.write_byte(0x9000, 1));
  uint8_t buffer[4];
  EXPECT_EQ(-1, host.device().bulk_in(buffer, sizeof buffer));
  host.ctl("fault-clear");
  EXPECT_FALSE(host.device().vanished());
}

TEST_F(TransferFaults, ControlLanguageRefusesBadInput) {
  EXPECT_EQ("error: unknown command: frobnicate", host.ctl("frobnicate"));
  EXPECT_FALSE(host.last_ok());
  host.ctl("mem-read probe 0 4");
  EXPECT_FALSE(host.last_ok());
  host.ctl("mem-write target 9000 123");
  EXPECT_FALSE(host.last_ok());
  host.ctl("fault stall");
  EXPECT_FALSE(host.last_ok());
  host.ctl("set reset-ready-after 0");
  EXPECT_FALSE(host.last_ok());
  EXPECT_EQ("ok", host.ctl("set analog-busy-ms never"));
}

}  // namespace
