// SPDX-License-Identifier: Apache-2.0
// The flash writer as the loader starts it and the command exchange drives it.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <thread>

#include "tests/sim/host.h"

using simtest::Host;
using simtest::Layout;

namespace {

std::vector<uint8_t> file_bytes(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

struct Reply {
  bool acknowledged = false;  // the execute flag cleared
  uint8_t ack = 0;
  uint16_t result = 0;
};

class FlashWriter : public ::testing::TestWithParam<int> {
 protected:
  FlashWriter() : FlashWriter(GetParam(), simtest::Time::kManual) {}
  FlashWriter(int type, simtest::Time time) : type_(type), host(Host::options("usb", type), time) {}
  int type() const { return type_; }
  bool high() const { return type() >= 3; }
  uint32_t base() const { return high() ? 0x40000 : 0x8000; }
  Layout layout() const { return high() ? Layout::kLong : Layout::kShort; }

  void load(const std::vector<uint8_t> &image) {
    host.write_byte(0x602, 0x05, layout());
    ASSERT_EQ(5, host.read_byte(0x602, layout()) & 5);
    for (size_t at = 0; at < image.size(); at += 1024) {
      size_t n = std::min<size_t>(1024, image.size() - at);
      std::vector<uint8_t> chunk(image.begin() + at, image.begin() + at + n);
      host.write(base() + uint32_t(at), chunk, layout());
    }
    host.write_byte(0x602, type() == 4 ? 0x80 : 0x88, layout());
  }
  void load_shipped_writer() { load(file_bytes(ZK32_WRITER_DIR "/zk4715-sim.bin")); }

  // One command as the program sends it: clear, block, execute, poll, read the mailbox.
  Reply command(uint8_t code, uint32_t address, uint32_t length, int polls = 3) {
    host.write(base() + 4, {0, 0, 0}, layout());
    host.write(base() + 7,
               {code, uint8_t(address), uint8_t(address >> 8), uint8_t(address >> 16),
                uint8_t(address >> 24), uint8_t(length), uint8_t(length >> 8),
                uint8_t(length >> 16), uint8_t(length >> 24)},
               layout());
    host.write_byte(base() + 7, code | 0x80, layout());
    Reply reply;
    for (int i = 0; i < polls && !reply.acknowledged; ++i) {
      reply.acknowledged = !(host.read_byte(base() + 7, layout()) & 0x80);
    }
    std::vector<uint8_t> box = host.read(base() + 4, 4, layout());
    reply.result = uint16_t(box[0] | box[1] << 8);
    reply.ack = box[2];
    return reply;
  }
  uint32_t page_buffer() {
    Reply r = command('@', 0, 0);
    return r.result + (high() ? 0x40000 : 0);
  }

  int type_;
  Host host;
};

TEST_P(FlashWriter, PageBufferLiesInSramClearOfTheImage) {
  load_shipped_writer();
  Reply r = command('@', 0, 0);
  ASSERT_TRUE(r.acknowledged);
  EXPECT_EQ('@', r.ack);
  EXPECT_EQ(base() + 0x800, page_buffer());
  EXPECT_NE(std::string::npos, host.ctl("trace").find("\nwriter @ 0 0\n"));
}

TEST_P(FlashWriter, EraseProgramAndReadBack) {
  load_shipped_writer();
  host.ctl("flash-write 1ffc 00000000000000");
  ASSERT_EQ('M', command('M', 0x1234, 4).ack);
  EXPECT_EQ("ffffffff000000", host.ctl("flash-read 1ffc 7"));  // only 0x1000..0x1fff
  EXPECT_EQ("000000ff", host.ctl("flash-read 2000 4"));

  host.write(page_buffer(), {0x12, 0x34, 0x56, 0xf0, 0x0f}, layout());
  ASSERT_EQ('A', command('A', 0x1ffe, 5).ack);  // runs on across the page and sector end
  EXPECT_EQ("ff1234000000ffff", host.ctl("flash-read 1ffd 8"));
  // Programming only clears bits.
  host.write(page_buffer(), {0x0f}, layout());
  command('A', 0x1ffe, 1);
  EXPECT_EQ("02", host.ctl("flash-read 1ffe 1"));

  Reply two = command('O', 0x1ffe, 2);
  EXPECT_EQ('O', two.ack);
  EXPECT_EQ(0x3402, two.result);
  EXPECT_EQ('O', command('O', 0x1ff8, 8).ack);
  std::vector<uint8_t> data = host.read(base() + 8, 8, layout());
  EXPECT_EQ((std::vector<uint8_t>{0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0x02, 0x34}), data);
}

TEST_P(FlashWriter, CommandsItCannotCarryOutAreAcknowledgedWithAnErrorCode) {
  load_shipped_writer();
  EXPECT_EQ(0xee, command('A', 0, 0).ack);
  EXPECT_EQ(0xee, command('A', 0, 257).ack);
  EXPECT_EQ(0xee, command('O', 0, 9).ack);
  EXPECT_EQ(0xee, command('Z', 0, 0).ack);
  // Past the end of the 1 MB flash nothing wraps round to the start.
  host.ctl("flash-write 0 00");
  const struct {
    uint8_t code;
    uint32_t address, length, ack;
  } edges[] = {
      {'M', 0xfffff, 0, 'M'},        {'M', 0x100000, 0, 0xee}, {'M', 0xffffffff, 0, 0xee},
      {'A', 0xfffff, 1, 'A'},        {'A', 0xfffff, 2, 0xee},  {'A', 0xffffff00, 256, 0xee},
      {'O', 0xffff8, 8, 'O'},        {'O', 0xffffc, 8, 0xee},  {'O', 0x100000, 1, 0xee},
  };
  for (const auto &e : edges) {
    EXPECT_EQ(e.ack, command(e.code, e.address, e.length).ack) << e.code << " " << e.address;
  }
  EXPECT_EQ("00", host.ctl("flash-read 0 1"));
}

TEST_P(FlashWriter, InjectedFailuresShowInTheAcknowledgement) {
  load_shipped_writer();
  host.ctl("flash-write 3000 00");
  host.ctl("fault erase-fail 3ff0");
  EXPECT_EQ(0xee, command('M', 0x3000, 4).ack);
  EXPECT_EQ("00", host.ctl("flash-read 3000 1"));
  EXPECT_EQ('M', command('M', 0x4000, 4).ack);

  host.ctl("fault program-fail 4010");
  host.write(page_buffer(), std::vector<uint8_t>(32, 0), layout());
  EXPECT_EQ(0xee, command('A', 0x4000, 32).ack);
  EXPECT_EQ("ffff", host.ctl("flash-read 4000 2"));

  host.ctl("fault writer-bad-ack");
  Reply r = command('@', 0, 0);
  EXPECT_TRUE(r.acknowledged);
  EXPECT_EQ('`', r.ack);

  host.ctl("fault-clear");
  host.ctl("fault writer-stuck");
  EXPECT_FALSE(command('@', 0, 0, 20).acknowledged);
}

TEST_P(FlashWriter, OtherImagesAndStoppedCoresNeverAcknowledge) {
  std::vector<uint8_t> image = file_bytes(ZK32_WRITER_DIR "/zk4715-sim.bin");
  image[0] = 'X';
  load(image);
  EXPECT_FALSE(command('@', 0, 0, 20).acknowledged);

  load_shipped_writer();
  host.write_byte(0x602, 0x05, layout());  // a reset request stops the writer
  EXPECT_FALSE(command('@', 0, 0, 20).acknowledged);
}

TEST_P(FlashWriter, TakesTheConfiguredTimeForAnErase) {
  load_shipped_writer();
  host.ctl("set writer-erase-ms 30");
  EXPECT_FALSE(command('M', 0, 4, 2).acknowledged);
  host.pass_ms(29);
  EXPECT_EQ(0x80, host.read_byte(base() + 7, layout()) & 0x80);
  host.pass_ms(1);
  EXPECT_EQ(0, host.read_byte(base() + 7, layout()) & 0x80);
  EXPECT_EQ('M', host.read_byte(base() + 6, layout()));
}

INSTANTIATE_TEST_SUITE_P(EveryMcuType, FlashWriter, ::testing::Values(1, 2, 3, 4));

// The same latency on the real clock: the erase is acknowledged, and not before its time.
class FlashWriterOnRealTime : public FlashWriter {
 protected:
  FlashWriterOnRealTime() : FlashWriter(1, simtest::Time::kReal) {}
};

TEST_F(FlashWriterOnRealTime, EraseIsAcknowledgedAfterItsTime) {
  load_shipped_writer();
  host.ctl("set writer-erase-ms 30");
  auto start = std::chrono::steady_clock::now();
  command('M', 0, 4, 1);
  for (int i = 0; i < 10000 && (host.read_byte(base() + 7, layout()) & 0x80); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(30));
  EXPECT_EQ('M', host.read_byte(base() + 6, layout()));
}

TEST(WriterImages, ShippedImagesAreSmallAndRecognisable) {
  for (const char *name :
       {"zk4710-sim.bin", "zk4712-sim.bin", "zk4715-sim.bin", "zk4716-sim.bin"}) {
    std::vector<uint8_t> image = file_bytes(std::string(ZK32_WRITER_DIR "/") + name);
    ASSERT_GT(image.size(), 0x40u) << name;
    EXPECT_LE(image.size(), 2048u) << name;
    EXPECT_EQ(std::string("ZKFW"), std::string(image.begin(), image.begin() + 4)) << name;
    EXPECT_EQ(std::vector<uint8_t>(12, 0),
              std::vector<uint8_t>(image.begin() + 4, image.begin() + 16));
  }
}

}  // namespace
