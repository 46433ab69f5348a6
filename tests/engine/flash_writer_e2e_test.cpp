// SPDX-License-Identifier: Apache-2.0
// Loading the flash writer and its command exchange, seen through a one-byte flash read.
#include <ostream>
#include <string>
#include <vector>

#include "engine_fixture.h"

namespace engine_test {
namespace {

class FlashWriter : public EngineTest {
 protected:
  // A one-byte flash read: the smallest run that loads the writer and sends it a command.
  harness::RunResult read_one(const std::string &chip, bool usb) {
    return run(read_args(chip, usb));
  }
  size_t count(const std::string &line) {
    size_t n = 0;
    for (const auto &entry : trace()) n += entry == line;
    return n;
  }
  std::vector<std::string> read_args(const std::string &chip, bool usb) {
    std::vector<std::string> args = {chip, "rf", "0", "-s", "1"};
    if (usb) args.push_back("-u");
    return args;
  }
  harness::RunResult read_one_failing(const std::string &chip, bool usb, const std::string &line) {
    return run_failing(read_args(chip, usb), line);
  }
};

TEST_F(FlashWriter, ResetBitsMustShowWithinThreeAttemptsOverUsb) {
  start("--mode usb --type 1");
  // A read-back that fails leaves the byte without the bits; a one-byte read gives up after
  // four requests, so eight failing requests cost two attempts and twelve (0xc) three.
  ctl("fault read-fail 602 8");
  ctl("trace-clear");
  EXPECT_EQ(read_one("t1", true).out.substr(0, std::string(kUsbOk).size()), kUsbOk);
  EXPECT_EQ(count("w s 602 05"), 3u);
  ctl("fault read-fail 602 c");
  ctl("trace-clear");
  EXPECT_EQ(read_one("t1", true).out, " [125]: ZK32 USB : USB Err! \t\n");
  EXPECT_EQ(count("w s 602 05"), 4u);
}

TEST_F(FlashWriter, ResetBitsMustShowWithinThreeAttemptsOverVlane) {
  start("--mode evk --type 1");
  ctl("set reset-ready-after 4");
  ctl("trace-clear");
  EXPECT_EQ(read_one("t1", false).out, " [132]: reset mcu err! \t\n");
  EXPECT_EQ(trace_with("vw 602 05").size(), 4u);
}

TEST_F(FlashWriter, UsbLoadPreparesRegistersThenWritesAndStartsTheImage) {
  start("--mode usb --type 1");
  ctl("trace-clear");
  read_one("t1", true);
  std::vector<std::string> one_byte_writes;
  for (const auto &line : trace_with("w s ")) {
    if (line.size() == line.find(' ', 4) + 3) one_byte_writes.push_back(line);  // "w s A XX"
  }
  // Reset, the preparatory writes, 0x8ff0 for type 1, the start byte.
  std::vector<std::string> expected = {"w s 602 05", "w s 622 00", "w s 643 00",  "w s 60c 40",
                                       "w s 60d 40", "w s 104 ff", "w s 8ff0 01", "w s 602 88"};
  ASSERT_GE(one_byte_writes.size(), expected.size());
  EXPECT_EQ(
      std::vector<std::string>(one_byte_writes.begin(), one_byte_writes.begin() + expected.size()),
      expected);
}

TEST_F(FlashWriter, StartByteAndLayoutByType) {
  struct Case {
    const char *mode;
    int type;
    const char *start_line;
    bool marker;
  };
  const Case cases[] = {{"usb", 3, "w l 602 88", false},
                        {"usb", 4, "w l 602 80", false},
                        {"evk", 1, "vw 602 88", true},
                        {"evk", 3, "vw 602 88", false},
                        {"evk", 4, "vw 602 80", false}};
  for (const Case &c : cases) {
    SCOPED_TRACE(std::string(c.mode) + " type " + std::to_string(c.type));
    bool usb = std::string(c.mode) == "usb";
    start(std::string("--mode ") + c.mode + " --type " + std::to_string(c.type));
    ctl("trace-clear");
    std::string chip = "t" + std::to_string(c.type);
    EXPECT_EQ(read_one(chip, usb).out.substr(0, 10),
              usb ? std::string(kUsbOk).substr(0, 10) : std::string(kEvkOk).substr(0, 10));
    EXPECT_EQ(count(c.start_line), 1u);
    EXPECT_EQ(count(usb ? "w s 8ff0 01" : "vw 8ff0 01"), c.marker ? 1u : 0u);
    if (!usb) {
      // Over Vlane only 0x622 and 0x643 are prepared; the usb-only registers are left alone.
      EXPECT_EQ(count("vw 622 00") + count("vw 643 00"), 2u);
      EXPECT_EQ(count("vw 60c 40") + count("vw 60d 40") + count("vw 104 ff"), 0u);
      std::string control = c.type == 1 ? "w s 9fff 10" : "w s 9fff 50";
      EXPECT_EQ(count(control), 1u);
    }
  }
}

TEST_F(FlashWriter, WithoutAProbeOrAVlaneLinkNothingIsLoaded) {
  start("--mode usb --type 1");
  EXPECT_EQ(read_one("t1", false).out, " [130]: no evk device! \t\n");
  start("--mode evk --type 1");
  ctl("fault vlane-broken");
  ctl("trace-clear");
  EXPECT_EQ(read_one("t1", false).out, " [131]: ZK32 EVK: Vlane err! \t\n");
  // Four rounds of the link check, each: two 0x0700 commands, one 0x8100.
  EXPECT_EQ(trace_with("evk 8100 ").size(), 4u);
}

TEST_F(FlashWriter, WriterFileMissingOrLargerThan8K) {
  start("--mode usb --type 1",
        "MCU 1 chip = nofile \\writer\\missing.bin end\n"
        "MCU 1 chip = full \\full.bin end\n"
        "MCU 1 chip = big \\big.bin end\n");
  EXPECT_EQ(read_one("nofile", true).out, " [124]: open sram file err! \t\n");
  // A numeric read naming a row after the last filled one has no writer file at all.
  EXPECT_EQ(run({"5", "1", "0", "1", "9", "1"}).out, " [124]: open sram file err! \t\n");
  // The shipped writer padded to exactly 8 KB still loads and answers.
  std::string image = harness::read_file(install->path("writer/zk4710-sim.bin"));
  ASSERT_FALSE(image.empty());
  harness::write_file(install->path("full.bin"), image + std::string(8192 - image.size(), '\0'));
  EXPECT_EQ(read_one("full", true).out.substr(0, std::string(kUsbOk).size() + 4),
            kUsbOk + std::string(" 1 \t"));
  harness::write_file(install->path("big.bin"), image + std::string(8193 - image.size(), '\0'));
  ctl("trace-clear");
  EXPECT_EQ(read_one("big", true).out, " [180]: flash writer file too large! \t\n");
  EXPECT_TRUE(trace_with("w ").empty());
}

TEST_F(FlashWriter, EmptyWriterFileIsWrittenAndStartedButNeverAnswers) {
  start("--mode usb --type 1", "MCU 1 chip = empty \\empty.bin end\n");
  harness::write_file(install->path("empty.bin"), "");
  ctl("trace-clear");
  EXPECT_EQ(run_here(read_args("empty", true)).out,
            kUsbOk + std::string(" [167]: wait for ack timeout: 2000 ms \t\n"));
  EXPECT_EQ(count("w s 602 88"), 1u);
}

TEST_F(FlashWriter, ImageWriteFailures) {
  start("--mode usb --type 1");
  ctl("fault write-fail 8000");
  EXPECT_EQ(read_one("t1", true).out, kUsbOk + std::string(" [128]: write file err!\t\n"));
  start("--mode usb --type 3");
  ctl("fault write-fail 40000");
  EXPECT_EQ(read_one("t3", true).out, kUsbOk + std::string(" [126]: write file err! \t\n"));
  start("--mode evk --type 1");
  ctl("fault vlane-write-fail 8000");
  EXPECT_EQ(read_one("t1", false).out, kEvkOk + std::string(" [134]: write file err! \t\n"));
  start("--mode evk --type 3");
  ctl("fault vlane-write-fail 40000");
  EXPECT_EQ(read_one("t3", false).out, kEvkOk + std::string(" [133]: write file err! \t\n"));
}

TEST_F(FlashWriter, StartFailures) {
  start("--mode usb --type 1");
  EXPECT_EQ(read_one_failing("t1", true, "w s 602 88").out,
            kUsbOk + std::string(" [129]: start mcu err! \t\n"));
  start("--mode usb --type 4");
  EXPECT_EQ(read_one_failing("t4", true, "w l 602 80").out,
            kUsbOk + std::string(" [127]: start mcu err! \t\n"));
  start("--mode evk --type 1");
  // The start byte on its way through the probe's staging buffer.
  EXPECT_EQ(read_one_failing("t1", false, "w s a000 88").out,
            kEvkOk + std::string(" [135]: start MCU err! \t\n"));
}

// Every failure of the command exchange has its own number per mode and family.
struct ExchangeCase {
  const char *mode;
  int type;
  const char *clear_line;    // the transfer that clears the result word
  const char *block_line;    // the command block (code 'O', address 0, length 1)
  const char *execute_line;  // the execute flag
  const char *clear_error, *write_error, *execute_error, *ack_error, *timeout_error;
};

void PrintTo(const ExchangeCase &c, std::ostream *os) { *os << c.mode << " type " << c.type; }

class WriterExchange : public FlashWriter, public ::testing::WithParamInterface<ExchangeCase> {};

TEST_P(WriterExchange, FailuresReportTheirOwnLine) {
  const ExchangeCase &c = GetParam();
  bool usb = std::string(c.mode) == "usb";
  std::string chip = "t" + std::to_string(c.type);
  std::string loaded = usb ? kUsbOk : kEvkOk;
  start(std::string("--mode ") + c.mode + " --type " + std::to_string(c.type));

  EXPECT_EQ(read_one_failing(chip, usb, c.clear_line).out, loaded + c.clear_error);
  EXPECT_EQ(read_one_failing(chip, usb, c.block_line).out, loaded + c.write_error);
  EXPECT_EQ(read_one_failing(chip, usb, c.execute_line).out, loaded + c.execute_error);

  ctl("fault writer-bad-ack");
  EXPECT_EQ(read_one(chip, usb).out, loaded + c.ack_error);
  ctl("fault-clear");

  // The writer never clears the execute flag: a little over two seconds, then the time-out.
  ctl("fault writer-stuck");
  EXPECT_EQ(run_here(read_args(chip, usb)).out, loaded + c.timeout_error);
}

INSTANTIATE_TEST_SUITE_P(
    ByModeAndFamily, WriterExchange,
    ::testing::Values(
        ExchangeCase{"usb", 3, "w l 40004 000000", "w l 40007 4f0000000001000000", "w l 40007 cf",
                     " [158]: clear buff err! \t\n", " [159]: write buff err! \t\n",
                     " [160]: execute cmd err! \t\n", " [162]: wait for ack err! \t\n",
                     " [161]: wait for ack timeout: 2000 ms \t\n"},
        ExchangeCase{"usb", 1, "w s 8004 000000", "w s 8007 4f0000000001000000", "w s 8007 cf",
                     " [163]: clear buff err! \t\n", " [164]: write buff err! \t\n",
                     " [165]: execute cmd err! \t\n", " [168]: wait for ack err! \t\n",
                     " [167]: wait for ack timeout: 2000 ms \t\n"},
        ExchangeCase{"evk", 3, "w s a000 000000", "w s a000 4f0000000001000000", "w s a000 cf",
                     " [169]: clear buff err! \t\n", " [170]: write buff err! \t\n",
                     " [171]: execute cmd err! \t\n", " [173]: wait for ack err! \t\n",
                     " [172]: wait for ack timeout: 2000 ms \t\n"},
        ExchangeCase{"evk", 1, "w s a000 000000", "w s a000 4f0000000001000000", "w s a000 cf",
                     " [174]: Clear buff err! \t\n", " [175]: write buff err! \t\n",
                     " [176]: execute cmd err! \t\n", " [178]: wait for ack err! \t\n",
                     " [177]: wait for ack timeout: 2000 ms \t\n"}),
    [](const ::testing::TestParamInfo<ExchangeCase> &param_info) {
      return std::string(param_info.param.mode) + "Type" + std::to_string(param_info.param.type);
    });

}  // namespace
}  // namespace engine_test
