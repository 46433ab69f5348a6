// SPDX-License-Identifier: Apache-2.0
// Flash reads and writes through the flash writer (rf / wf -s and the numeric read and write).
#include <string>
#include <vector>

#include "engine_fixture.h"

namespace engine_test {
namespace {

using Bytes = std::vector<unsigned char>;

class FlashAccess : public EngineTest {
 protected:
  Bytes seed_flash(size_t n) {
    Bytes bytes(n);
    for (size_t i = 0; i < n; ++i) bytes[i] = static_cast<unsigned char>(0x30 + i);
    ctl("flash-write 0 " + harness::to_hex(bytes));
    return bytes;
  }
  // The flash writer commands seen, as "C ADDR LEN".
  std::vector<std::string> writer_commands() {
    std::vector<std::string> commands;
    for (const auto &line : trace_with("writer ")) commands.push_back(line.substr(7));
    return commands;
  }
  // The byte counts of the reads whose trace lines begin with prefix ("r s 8008 ").
  std::vector<std::string> data_reads(const std::string &prefix) {
    std::vector<std::string> reads;
    for (const auto &line : trace_with(prefix)) {
      std::string rest = line.substr(prefix.size());
      reads.push_back(rest.substr(0, rest.find(' ')));
    }
    return reads;
  }
};

TEST_F(FlashAccess, TwelveBytesTakeAFullChunkAndAFourByteTailFromTheDataField) {
  start("--mode usb --type 1");
  Bytes data = seed_flash(12);
  ctl("trace-clear");
  EXPECT_EQ(run({"t1", "rf", "0", "-s", "12", "-u"}).out,
            kUsbOk + progress(12) + dump(0, data) + kTotal);
  EXPECT_EQ(writer_commands(), (std::vector<std::string>{"O 0 8", "O 8 4"}));
  EXPECT_EQ(data_reads("r s 8008 "), (std::vector<std::string>{"8", "4"}));
}

TEST_F(FlashAccess, TenBytesTakeTheLastTwoFromTheResultWord) {
  for (const char *mode : {"usb", "evk"}) {
    SCOPED_TRACE(mode);
    bool usb = std::string(mode) == "usb";
    start(std::string("--mode ") + mode + " --type 1");
    Bytes data = seed_flash(10);
    ctl("trace-clear");
    std::vector<std::string> args = {"t1", "rf", "0", "-s", "10"};
    if (usb) args.push_back("-u");
    EXPECT_EQ(run(args).out, (usb ? kUsbOk : kEvkOk) + progress(10) + dump(0, data) + kTotal);
    EXPECT_EQ(writer_commands(), (std::vector<std::string>{"O 0 8", "O 8 2"}));
    std::string prefix = usb ? "r s " : "vr ";
    EXPECT_EQ(data_reads(prefix + "8008 "), std::vector<std::string>{"8"});
    EXPECT_EQ(data_reads(prefix + "8004 2 ").size(), 1u);
  }
}

TEST_F(FlashAccess, KilobyteProgressAndTheLargeFamilyMailbox) {
  start("--mode usb --type 3");
  ctl("trace-clear");
  std::string out = run({"t3", "rf", "0", "-s", "1024", "-u"}).out;
  EXPECT_EQ(out.substr(0, std::string(kUsbOk).size() + progress(1024).size()),
            kUsbOk + progress(1024));
  EXPECT_EQ(out.find("finished", std::string(kUsbOk).size() + progress(1024).size()),
            std::string::npos);
  EXPECT_EQ(data_reads("r l 40008 ").size(), 128u);
}

TEST_F(FlashAccess, OversizedReadIsRefusedAfterTheWriterIsLoaded) {
  start("--mode usb --type 1");
  ctl("trace-clear");
  EXPECT_EQ(run({"t1", "rf", "0", "-s", "1025k", "-u"}).out,
            kUsbOk + std::string(" [104]: read memory size exceed!!\t\n"));
  EXPECT_TRUE(writer_commands().empty());
}

TEST_F(FlashAccess, EmptyReadAndUnknownModeOnlyReportTheTime) {
  start("--mode usb --type 1");
  ctl("trace-clear");
  EXPECT_EQ(run({"5", "1", "0", "1", "1", "0"}).out, kUsbOk + std::string(kTotal));
  EXPECT_TRUE(writer_commands().empty());
  ctl("trace-clear");
  EXPECT_EQ(run({"5", "1", "0", "2", "1", "10"}).out, kTotal);
  EXPECT_TRUE(trace_with("w ").empty());
}

TEST_F(FlashAccess, TwoByteWriteProgramsLeastSignificantByteFirst) {
  start("--mode usb --type 1");
  ctl("trace-clear");
  EXPECT_EQ(run({"t1", "wf", "100", "1234", "-s", "2", "-u"}).out,
            kUsbOk +
                std::string("  Flash Sector (4K) Program at address 100 \t\n"
                            "  Flash Sector (4K) Program at address 101 \t\n") +
                kTotal);
  EXPECT_EQ(writer_commands(), (std::vector<std::string>{"@ 0 0", "A 100 1", "A 101 1"}));
  EXPECT_EQ(ctl("flash-read 100 2"), "3412");
}

TEST_F(FlashAccess, WriteSizeIsTestedAfterThePageBufferQuery) {
  start("--mode usb --type 1");
  ctl("trace-clear");
  EXPECT_EQ(run({"t1", "wf", "0", "1", "-s", "5", "-u"}).out,
            kUsbOk + std::string(" [68]: write flash size exceed!!\t\n"));
  EXPECT_EQ(writer_commands(), std::vector<std::string>{"@ 0 0"});
}

TEST_F(FlashAccess, UsbShortDataReads) {
  start("--mode usb --type 1");
  ctl("fault read-fail 8008");
  EXPECT_EQ(run({"t1", "rf", "0", "-s", "16", "-u"}).out,
            kUsbOk + std::string(" [66]: read flash err!\t\n"));
  EXPECT_EQ(run({"t1", "rf", "0", "-s", "4", "-u"}).out,
            kUsbOk + std::string(" [67]: read flash err!\t\n"));
}

TEST_F(FlashAccess, EvkShortDataReadsAndSizeLimit) {
  start("--mode evk --type 1");
  ctl("fault vlane-read-fail 8008");
  EXPECT_EQ(run({"t1", "rf", "0", "-s", "16"}).out,
            kEvkOk + std::string("\n [73]: read flash err! \t\n"));
  EXPECT_EQ(run({"t1", "rf", "0", "-s", "4"}).out,
            kEvkOk + std::string("\n [74]: read flash err! \t\n"));
  ctl("fault-clear");
  EXPECT_EQ(run({"t1", "wf", "0", "1", "-s", "5"}).out,
            kEvkOk + std::string(" [75]: write flash size exceed!\t\n"));
}

TEST_F(FlashAccess, FailedPageBufferWriteIsReported) {
  for (const char *mode : {"usb", "evk"}) {
    SCOPED_TRACE(mode);
    bool usb = std::string(mode) == "usb";
    start(std::string("--mode ") + mode + " --type 1");
    std::vector<std::string> args = {"t1", "wf", "0", "5a", "-s", "1"};
    if (usb) args.push_back("-u");
    ctl("trace-clear");
    run(args);
    // The one byte written right after the page-buffer query; over Vlane it goes through the
    // probe's staging buffer.
    std::string buffer_write = usb ? "" : "w s a000 5a";
    bool after_query = false;
    for (const auto &line : trace()) {
      if (line.compare(0, 8, "writer @") == 0) after_query = true;
      if (usb && after_query && line.compare(0, 4, "w s ") == 0 &&
          line.compare(line.size() - 3, 3, " 5a") == 0) {
        buffer_write = line;
        break;
      }
    }
    ASSERT_NE(buffer_write, "");
    EXPECT_EQ(run_failing(args, buffer_write).out,
              usb ? kUsbOk + std::string(" [69]: write sram err! \t\n")
                  : kEvkOk + std::string(" [76]: write sram err! \t\n"));
  }
}

}  // namespace
}  // namespace engine_test
