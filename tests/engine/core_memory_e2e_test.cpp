// SPDX-License-Identifier: Apache-2.0
// SRAM and digital register reads and writes (rc / wc and the numeric read and write).
#include <cstdio>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "engine_fixture.h"

namespace engine_test {
namespace {

using Bytes = std::vector<unsigned char>;

Bytes pattern(size_t n) {
  Bytes bytes(n);
  for (size_t i = 0; i < n; ++i) bytes[i] = static_cast<unsigned char>(i * 13 + 5);
  return bytes;
}

std::string as_text(const Bytes &bytes) { return std::string(bytes.begin(), bytes.end()); }

class CoreMemory : public EngineTest {
 protected:
  // Puts a known pattern into target memory at address.
  Bytes seed(uint32_t address, size_t n) {
    Bytes bytes = pattern(n);
    char where[16];
    std::snprintf(where, sizeof where, "%x", address);
    ctl("mem-write target " + std::string(where) + " " + harness::to_hex(bytes));
    return bytes;
  }
};

TEST_F(CoreMemory, SmallFamilySplitsRegistersAndSramAt0x8000) {
  start("--mode usb --type 2");
  // Numeric read: object 2 is SRAM, object 3 digital registers; row 2 is MCU type 2.
  EXPECT_EQ(run({"5", "2", "7fff", "1", "2", "1"}).out, " [78]: sram memory address exceed!\t\n");
  EXPECT_EQ(run({"5", "3", "8000", "1", "2", "1"}).out, " [95]: digital register size exceed!\t\n");
  Bytes sram = seed(0x8000, 1);
  EXPECT_EQ(run({"5", "2", "8000", "1", "2", "1"}).out, dump(0x8000, sram) + kTotal);
  EXPECT_EQ(run({"5", "3", "7fff", "1", "2", "1"}).out.substr(0, 10), "\n 007fff: ");
}

TEST_F(CoreMemory, TypesFiveAndUpKeepRegistersBelow0x8000) {
  start("--mode usb --type 1");  // refused before any device access
  // The grammar sends addresses below 0x40000 to the register access for these types.
  auto result = run({"t5", "rc", "8000", "-s", "1", "-u"});
  EXPECT_EQ(result.out, " [95]: digital register size exceed!\t\n");
  EXPECT_EQ(result.exit_code, 0);
}

TEST_F(CoreMemory, LargeFamilySplitsRegistersAndSramAt0x40000) {
  start("--mode usb --type 3");
  EXPECT_EQ(run({"5", "2", "3ffff", "1", "3", "1"}).out, " [77]: sram memory address exceed! \t\n");
  EXPECT_EQ(run({"5", "3", "40000", "1", "3", "1"}).out,
            " [94]: digital register size exceed!\t\n");
  Bytes sram = seed(0x40000, 2);
  EXPECT_EQ(run({"5", "2", "40000", "1", "3", "2"}).out, dump(0x40000, sram) + kTotal);
}

TEST_F(CoreMemory, ProgressLinePerKilobyteAndForTailsAbove64Bytes) {
  start("--mode usb --type 1");
  std::filesystem::create_directory(install->path("user"));
  Bytes data = seed(0x8000, 1100);
  Bytes first64(data.begin(), data.begin() + 64);
  Bytes first65(data.begin(), data.begin() + 65);
  EXPECT_EQ(run({"t1", "rc", "8000", "-s", "64", "-u"}).out, dump(0x8000, first64) + kTotal);
  EXPECT_EQ(run({"t1", "rc", "8000", "-s", "65", "-u"}).out,
            progress(65) + dump(0x8000, first65) + kTotal);
  // 1030 bytes: one full chunk, a 6-byte tail without a line of its own.
  EXPECT_EQ(run({"t1", "rc", "8000", "-s", "1030", "-u"}).out,
            progress(1024) + "\n All 1030 bytes have been saved! \t\n" + kTotal);
  EXPECT_EQ(harness::read_file(install->path("user/Read.bin")),
            as_text(Bytes(data.begin(), data.begin() + 1030)));
  EXPECT_EQ(run({"t1", "rc", "8000", "-s", "1100", "-u"}).out,
            progress(1024) + progress(1100) + "\n All 1100 bytes have been saved! \t\n" + kTotal);
  EXPECT_EQ(harness::read_file(install->path("user/Read.bin")), as_text(data));
}

TEST_F(CoreMemory, DumpsUpTo1024BytesAndSavesLargerReads) {
  start("--mode usb --type 1");
  Bytes data = seed(0x8000, 1025);
  Bytes first1024(data.begin(), data.begin() + 1024);
  EXPECT_EQ(run({"t1", "rc", "8000", "-s", "1024", "-u"}).out,
            progress(1024) + dump(0x8000, first1024) + kTotal);
  // Without the user folder beside the program the default file cannot be created; the
  // folder is not made for the user.
  EXPECT_EQ(run({"t1", "rc", "8000", "-s", "1025", "-u"}).out,
            progress(1024) + " [74]:create file err! \t\n" + kTotal);
  EXPECT_FALSE(harness::file_exists(install->path("user")));
  std::filesystem::create_directory(install->path("user"));
  EXPECT_EQ(run({"t1", "rc", "8000", "-s", "1025", "-u"}).out,
            progress(1024) + "\n All 1025 bytes have been saved! \t\n" + kTotal);
  EXPECT_EQ(harness::read_file(install->path("user/Read.bin")), as_text(data));
}

TEST_F(CoreMemory, OutputOptionSavesEvenOneByteAndLeavesTheDefaultFileAlone) {
  start("--mode usb --type 1");
  Bytes data = seed(0x8000, 1);
  std::filesystem::create_directory(install->path("user"));
  std::string out = install->path("one.bin");
  EXPECT_EQ(run({"t1", "rc", "8000", "-s", "1", "-u", "-o", out}).out,
            "\n All 1 bytes have been saved! \t\n" + std::string(kTotal));
  EXPECT_EQ(harness::read_file(out), as_text(data));
  EXPECT_FALSE(harness::file_exists(install->path("user/Read.bin")));
  EXPECT_EQ(run({"t1", "rc", "8000", "-s", "1", "-u", "-o", install->path("no/dir/x.bin")}).out,
            " [74]:create file err! \t\n" + std::string(kTotal));
}

TEST_F(CoreMemory, WriteSendsTheDataLeastSignificantByteFirstInOneTransfer) {
  start("--mode usb --type 3");
  ctl("trace-clear");
  EXPECT_EQ(run({"t3", "wc", "40000", "aabbcc", "-s", "3", "-u"}).out,
            "\n Write 3 bytes at address 040000 \t\n" + std::string(kTotal));
  EXPECT_EQ(ctl("mem-read target 40000 3"), "ccbbaa");
  EXPECT_EQ(trace_with("w l 40000"), std::vector<std::string>{"w l 40000 ccbbaa"});
}

TEST_F(CoreMemory, UsbSizeLimits) {
  start("--mode usb --type 1");
  EXPECT_EQ(run({"t1", "rc", "8000", "-s", "1025k", "-u"}).out,
            " [86]: read memory size exceed!!\t\n");
  EXPECT_EQ(run({"t1", "rc", "0", "-s", "2M", "-u"}).out, " [96]: read memory size exceed!!\t\n");
  EXPECT_EQ(run({"t1", "wc", "8000", "1", "-s", "5", "-u"}).out,
            " [82]: write memory size exceed!!\t\n");
  EXPECT_EQ(run({"t1", "wc", "100", "1", "-s", "5", "-u"}).out,
            " [99]: write memory size exceed!\t\n");
}

TEST_F(CoreMemory, UsbShortReadStopsWithoutShowingAnything) {
  start("--mode usb --type 1");
  ctl("fault read-fail 8400");
  EXPECT_EQ(run({"t1", "rc", "8000", "-s", "2048", "-u"}).out,
            progress(1024) + " [80]: read memory err!!\t\n");
  // Registers share the message.
  ctl("fault read-fail 100");
  EXPECT_EQ(run({"t1", "rc", "100", "-s", "16", "-u"}).out, " [80]: read memory err!!\t\n");
}

TEST_F(CoreMemory, UsbFailedWriteOfTheSmallFamily) {
  start("--mode usb --type 1");
  ctl("fault write-fail 8000");
  EXPECT_EQ(run({"t1", "wc", "8000", "1", "-s", "1", "-u"}).out, " [84]: write memory err! \t\n");
  ctl("fault write-fail 100");
  EXPECT_EQ(run({"t1", "wc", "100", "1", "-s", "1", "-u"}).out, " [101]: write memory err! \t\n");
}

TEST_F(CoreMemory, UsbFailedWriteOfTheLargeFamily) {
  start("--mode usb --type 3");
  ctl("fault write-fail 40000");
  EXPECT_EQ(run({"t3", "wc", "40000", "1", "-s", "1", "-u"}).out, " [83]: write memory err! \t\n");
  ctl("fault write-fail 100");
  EXPECT_EQ(run({"t3", "wc", "100", "1", "-s", "1", "-u"}).out, " [100]: write memory err! \t\n");
}

TEST_F(CoreMemory, NoDeviceInUsbModeIsReportedNotShownAsData) {
  start("--mode usb --type 1");
  auto alone = [&](const std::vector<std::string> &args) {
    return harness::mask_times(harness::run_orvane(*install, args, nullptr).out);
  };
  EXPECT_EQ(alone({"t1", "rc", "8000", "-s", "4", "-u"}), " [80]: read memory err!!\t\n");
  // The analog sequence stops at its first failed transfer instead of polling out its time.
  EXPECT_EQ(alone({"t1", "ra", "0", "-s", "4", "-u"}), " [234]: read analog register err! \t\n");
  EXPECT_EQ(alone({"t1", "rf", "0", "-s", "4", "-u"}), " [125]: ZK32 USB : USB Err! \t\n");
}

TEST_F(CoreMemory, EvkModeWithoutAProbeIsRefusedBeforeTheSizeTest) {
  start("--mode usb --type 1");
  EXPECT_EQ(run({"t1", "rc", "8000", "-s", "4"}).out, " [85]: no evk device! \t\n");
  EXPECT_EQ(run({"t1", "rc", "8000", "-s", "2M"}).out, " [85]: no evk device! \t\n");
  EXPECT_EQ(run({"t1", "wc", "100", "1", "-s", "9"}).out, " [102]: no evk device! \t\n");
}

TEST_F(CoreMemory, EvkReadGoesOverVlane) {
  start("--mode evk --type 1");
  Bytes data = seed(0x8000, 65);
  ctl("trace-clear");
  EXPECT_EQ(run({"t1", "rc", "8000", "-s", "65"}).out, progress(65) + dump(0x8000, data) + kTotal);
  // The probe control byte first, then the target read over Vlane.
  std::vector<std::string> lines = trace();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(trace_with("w s 9fff").front(), "w s 9fff 10");
  EXPECT_EQ(trace_with("vr 8000").size(), 1u);
}

TEST_F(CoreMemory, EvkWriteSendsTheProbeControlByteTwiceBeforeTheData) {
  start("--mode evk --type 3");
  ctl("trace-clear");
  EXPECT_EQ(run({"t3", "wc", "40010", "aabb", "-s", "2"}).out,
            "\n Write 2 bytes at address 040010 \t\n" + std::string(kTotal));
  std::vector<std::string> order;
  for (const auto &line : trace()) {
    if (line == "w s 9fff 50" || line.compare(0, 3, "vw ") == 0) order.push_back(line);
  }
  EXPECT_EQ(order, (std::vector<std::string>{"w s 9fff 50", "w s 9fff 50", "vw 40010 bbaa"}));
  EXPECT_EQ(ctl("mem-read target 40010 2"), "bbaa");
}

TEST_F(CoreMemory, EvkSizeLimits) {
  start("--mode evk --type 1");
  EXPECT_EQ(run({"t1", "rc", "8000", "-s", "2M"}).out, " [86]: read memory size exceed!!\t\n");
  EXPECT_EQ(run({"t1", "rc", "0", "-s", "2M"}).out, " [104]: read memory size exceed!!\t\n");
  EXPECT_EQ(run({"t1", "wc", "8000", "1", "-s", "5"}).out, " [89]: write memory size exceed!!\t\n");
  EXPECT_EQ(run({"t1", "wc", "100", "1", "-s", "5"}).out, " [107]: write memory size exceed!!\t\n");
}

TEST_F(CoreMemory, EvkShortReadIsReportedForBothRegions) {
  start("--mode evk --type 1");
  ctl("fault vlane-read-fail 8000");
  EXPECT_EQ(run({"t1", "rc", "8000", "-s", "16"}).out, " [88]: read memory err!\t\n");
  ctl("fault-clear");
  ctl("fault vlane-read-fail 200");
  EXPECT_EQ(run({"t1", "rc", "200", "-s", "16"}).out, " [88]: read memory err!\t\n");
}

// Probe byte and data write failures carry their own number per region and family.
struct EvkWriteFailure {
  int type;
  const char *address;
  const char *probe_error;
  const char *data_error;
};

void PrintTo(const EvkWriteFailure &c, std::ostream *os) {
  *os << "type " << c.type << " at " << c.address;
}

class EvkWriteFailures : public CoreMemory,
                         public ::testing::WithParamInterface<EvkWriteFailure> {};

TEST_P(EvkWriteFailures, ReportTheirOwnLine) {
  const EvkWriteFailure &c = GetParam();
  std::string type = std::to_string(c.type);
  start("--mode evk --type " + type);
  std::string chip = "t" + type;
  ctl(std::string("fault vlane-write-fail ") + c.address);
  EXPECT_EQ(run({chip, "wc", c.address, "1", "-s", "1"}).out, c.data_error);
  ctl("fault-clear");
  // A probe that refuses the control byte: the first write of it is not looked at, the
  // second is.
  ctl("fault write-fail 9fff");
  EXPECT_EQ(run({chip, "wc", c.address, "1", "-s", "1"}).out, c.probe_error);
}

INSTANTIATE_TEST_SUITE_P(
    ByRegionAndFamily, EvkWriteFailures,
    ::testing::Values(EvkWriteFailure{1, "8000", " [92]: write memory err! \t\n",
                                      " [93]: write memory err! \t\n"},
                      EvkWriteFailure{1, "100", " [110]: write memory err! \t\n",
                                      " [111]: write memory err! \t\n"},
                      EvkWriteFailure{3, "40000", " [90]: write memory err! \t\n",
                                      " [91]: write memory err! \t\n"},
                      EvkWriteFailure{3, "100", " [108]: write memory err! \t\n",
                                      " [109]: write memory err! \t\n"}),
    [](const ::testing::TestParamInfo<EvkWriteFailure> &param_info) {
      return "Type" + std::to_string(param_info.param.type) + "At" + param_info.param.address;
    });

}  // namespace
}  // namespace engine_test
