// SPDX-License-Identifier: Apache-2.0
// The EVK mailbox and the routed memory access, against a fake probe that completes each
// command block it is given (or answers as a test scripts it).
#include "fake_port.h"
#include "poll_pacing.h"

namespace {

using fake::Bytes;
using fake::to_hex;
using fake::Reply;
using fake::Request;

struct Command {
  uint32_t word0, word1;
};

uint32_t word_at(const Bytes &b, size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

class EvkRoute : public fake::PortTest {
 protected:
  void SetUp() override {
    PortTest::SetUp();
    handle = open_device();
    // The probe: memory semantics, plus every command block is recorded and completed with
    // `completion` (default: the count it carries) and status word 0x5a5a.
    fake().on_write = [this](const Request &r) {
      if (fail_writes_at == r.address()) return false;
      uint32_t a = r.address();
      for (size_t i = 8; i < r.input.size(); ++i) fake().memory[r.fixed() ? a : a + i - 8] = r.input[i];
      if (a == 0x9ff8 && r.input.size() == 16) {
        commands.push_back(Command{word_at(r.input, 8), word_at(r.input, 12)});
        uint32_t done = completion ? completion(commands.back()) : commands.back().word1 & 0xffff;
        for (int i = 0; i < 4; ++i) fake().memory[0x9ff0 + i] = static_cast<unsigned char>(done >> (8 * i));
        for (int i = 0; i < 4; ++i) fake().memory[0x9ff4 + i] = 0x5a;
      }
      return true;
    };
  }
  std::vector<Request> polls() {
    std::vector<Request> out;
    for (const Request &r : log()) {
      if (!r.write && r.address() == 0x9ff0) out.push_back(r);
    }
    return out;
  }
  dn_handle_t handle = 0;
  std::vector<Command> commands;
  std::function<uint32_t(const Command &)> completion;
  uint32_t fail_writes_at = 0xffffffff;
};

TEST_F(EvkRoute, OneByteWriteGoesThroughStagingAndMailbox) {
  unsigned char b = 0x42;
  EXPECT_EQ(WriteMem2(handle, 0x40004, &b, 1, 4), 1);
  ASSERT_GE(log().size(), 3u);
  EXPECT_EQ(to_hex(log()[0].input), "8000a0424242424242");
  EXPECT_EQ(to_hex(log()[1].input), "80f89f04040404040400040001000041");
  EXPECT_FALSE(log()[2].write);
  EXPECT_EQ(to_hex(Bytes(log()[2].input.begin(), log()[2].input.begin() + 3)), "80f09f");
  EXPECT_EQ(log()[2].out_size, 24u);
}

TEST_F(EvkRoute, CommandEndsOnCompletionFailureBitsOrTimeout) {
  uint32_t status = 0xdeadbeef;
  // Completion word equal to the count: success, status word handed back.
  EXPECT_EQ(EVKCommand(handle, 0xb2, 1, 0x8100, nullptr, &status), 1);
  EXPECT_EQ(status, 0x5a5a5a5au);
  EXPECT_EQ(commands.back().word0, 0xb2u);
  EXPECT_EQ(commands.back().word1, 0x81000001u);
  // Any of bits 31..28: failure at the first poll, status untouched.
  status = 7;
  log().clear();
  completion = [](const Command &) { return 0x10000000u; };
  EXPECT_EQ(EVKCommand2(handle, 0, 1, 0x0700, nullptr, &status), 0);
  EXPECT_EQ(polls().size(), 1u);
  EXPECT_EQ(status, 7u);
  // A probe that never completes: 0 once 1000 ms have passed on the library clock.
  completion = [](const Command &) { return 0u; };
  fake().now = 0xfffffff0u;  // the difference is taken modulo 2^32
  fake().tick_step = 10;
  EXPECT_EQ(EVKCommand(handle, 0, 1, 0x0700, nullptr, nullptr), 0);
  EXPECT_EQ(fake().now - 0xfffffff0u, 1010u);
  // A count above 16 bits: only its low half is sent, the whole of it is awaited.
  fake().tick_step = 100;
  completion = [](const Command &) { return 1u; };
  EXPECT_EQ(EVKCommand(handle, 0, 0x10001, 0x0700, nullptr, nullptr), 0);
  EXPECT_EQ(commands.back().word1, 0x07000001u);
  completion = [](const Command &) { return 0x10001u; };
  EXPECT_EQ(EVKCommand(handle, 0, 0x10001, 0x0700, nullptr, nullptr), 0x10001);
}

// The wait for a probe command sleeps through the time it cannot be done, polls without pause
// around when it should be, and pauses in proportion beyond that.
TEST(PollPacing, PauseFollowsTheExpectedTime) {
  const struct {
    uint32_t elapsed, expected, pause;
  } cases[] = {
      {0, 1000, 750},  {700, 1000, 50},  {750, 1000, 0},  {1349, 1000, 0},
      {1350, 1000, 84}, {0, 0, 0},      {99, 0, 0},      {100, 0, 20},
      {4000, 0, 250},  {900000, 1000, 1000},
  };
  for (const auto &c : cases) {
    EXPECT_EQ(c.pause, dn_poll_pause_us(c.elapsed, c.expected)) << c.elapsed << " " << c.expected;
  }
}

TEST_F(EvkRoute, FailedCommandBlockWriteEndsAtOnce) {
  fail_writes_at = 0x9ff8;
  uint32_t status = 3;
  EXPECT_EQ(EVKCommand(handle, 0, 1, 0x0700, nullptr, &status), 0);
  EXPECT_TRUE(polls().empty());
  EXPECT_EQ(status, 3u);
}

TEST_F(EvkRoute, ChunksAddressesAndFixedFlag) {
  static unsigned char data[7000];
  // 0x204: the staging write is fixed, every chunk's command names the one address.
  EXPECT_EQ(WriteMem(handle, 0x8000, data, 2500, 0x204), 2500);
  ASSERT_EQ(commands.size(), 3u);
  for (const Command &c : commands) EXPECT_EQ(c.word0, 0x8000u);
  EXPECT_EQ(commands[2].word1, 0x410001c4u);  // 452 bytes
  for (const Request &r : log()) {
    if (r.write && r.address() == 0xa000) {
      EXPECT_TRUE(r.fixed());
    }
  }
  // Mode 0x14 is the EVK route too (low four bits); the short layout keeps 24 address bits.
  commands.clear();
  EXPECT_EQ(WriteMem(handle, 0x1040004, data, 1, 0x14), 1);
  EXPECT_EQ(commands.at(0).word0, 0x040004u);
  // A read: 0xC100 per chunk, then the chunk is read from the staging buffer.
  commands.clear();
  log().clear();
  EXPECT_EQ(ReadMem(handle, 0x8000, data, 7000, 4), 7000);
  ASSERT_EQ(commands.size(), 3u);
  EXPECT_EQ(commands[1].word0, 0x8000u + 3072);
  EXPECT_EQ(commands[2].word1, 0xc1000358u);  // 856 bytes
  EXPECT_EQ(log().back().address(), 0xa000u);
  EXPECT_EQ(log().back().out_size, 856u + 8);
}

TEST_F(EvkRoute, FailedCommandStopsReadAndWriteWithTotalSoFar) {
  static unsigned char data[7000];
  completion = [this](const Command &c) { return commands.size() == 2 ? 0xf0000000u : c.word1 & 0xffff; };
  EXPECT_EQ(WriteMem(handle, 0x8000, data, 3000, 4), 1024);
  commands.clear();
  EXPECT_EQ(ReadMem2(handle, 0x40000, data, 7000, 4), 3072);
  commands.clear();
  fail_writes_at = 0xa000;  // staging write fails: nothing reaches the mailbox
  EXPECT_EQ(WriteMem(handle, 0x8000, data, 10, 4), 0);
  EXPECT_TRUE(commands.empty());
}

class DirectRoute : public fake::PortTest {};

TEST_F(DirectRoute, WriteChunksWithReadBackAndReadChunks) {
  dn_handle_t h = open_device();
  static unsigned char data[7000];
  for (int i = 0; i < 7000; ++i) data[i] = static_cast<unsigned char>(i * 7);
  EXPECT_EQ(WriteMem(h, 0x8000, data, 2500, 1), 2500);
  ASSERT_EQ(log().size(), 6u);
  const uint32_t at[] = {0x8000, 0x8400, 0x8800};
  const size_t len[] = {1024, 1024, 452};
  for (int i = 0; i < 3; ++i) {
    EXPECT_TRUE(log()[2 * i].write);
    EXPECT_EQ(log()[2 * i].address(), at[i]);
    EXPECT_EQ(log()[2 * i].input.size(), len[i] + 8);
    EXPECT_EQ(log()[2 * i + 1].out_size, len[i] + 8);  // the read-back
  }
  log().clear();
  EXPECT_EQ(WriteMem(h, 0x8000 + 2500, data + 2500, 4500, 5), 4500);  // mode 5: direct
  log().clear();
  static unsigned char back[7000];
  EXPECT_EQ(ReadMem2(h, 0x8000, back, 7000, 0x41), 7000);  // 0x41: direct
  ASSERT_EQ(log().size(), 3u);
  EXPECT_EQ(log()[2].out_size, 856u + 8);
  EXPECT_EQ(memcmp(back, data, 7000), 0);
}

TEST_F(DirectRoute, FixedAddressKeepsEveryChunkOnOneAddress) {
  dn_handle_t h = open_device();
  static unsigned char data[3000];
  EXPECT_EQ(WriteMem(h, 0x620, data, 3000, 0x201), 3000);
  EXPECT_EQ(log().size(), 6u);
  for (const Request &r : log()) {
    EXPECT_EQ(r.address(), 0x620u);
    EXPECT_TRUE(r.fixed());
  }
}

TEST_F(DirectRoute, WriteStopsAtFailedChunkReadGoesOn) {
  dn_handle_t h = open_device();
  static unsigned char data[7000];
  fake().on_write = [](const Request &r) { return r.address() != 0x8800; };
  EXPECT_EQ(WriteMem(h, 0x8000, data, 3000, 1), 2048);
  fake().on_read = [](const Request &r) {
    return r.address() == 0x8000 + 3072 ? Reply{false, {}} : Reply{true, Bytes(r.out_size - 8)};
  };
  EXPECT_EQ(ReadMem(h, 0x8000, data, 7000, 1), 7000 - 3072);
  log().clear();
  EXPECT_EQ(ReadMem(h, 0x8000, data, 0, 1), 0);
  EXPECT_EQ(WriteMem(h, 0x8000, data, -5, 4), 0);
  EXPECT_TRUE(log().empty());
}

}  // namespace
