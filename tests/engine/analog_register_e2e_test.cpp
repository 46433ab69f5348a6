// SPDX-License-Identifier: Apache-2.0
// Analog register reads and writes through the 0xb8 / 0xb9 / 0xba window (ra / wa).
#include <string>
#include <vector>

#include "engine_fixture.h"

namespace engine_test {
namespace {

// Every access of a command shares one 100 ms busy limit, which a loaded machine can use up
// between two transfers: the runs go in-process on the virtual clock, where only the
// simulator's busy bit counts.  The one test of the limit in real time says so.
class AnalogRegister : public EngineTest {
 protected:
  harness::RunResult run(const std::vector<std::string> &args) { return run_here(args); }
  // The analog addresses written to 0xb8, in order.
  std::vector<std::string> addresses_selected() {
    std::vector<std::string> values;
    for (const auto &line : trace_with("w s b8 ")) values.push_back(line.substr(7));
    return values;
  }
};

TEST_F(AnalogRegister, ReadAddressWrapsAfter0xffButTheDumpShowsTheStartAddress) {
  start("--mode usb --type 1");
  ctl("trace-clear");
  std::string out = run({"t1", "ra", "1fe", "-s", "3", "-u"}).out;
  EXPECT_EQ(out.substr(0, 11), "\n 0001fe:  ");
  EXPECT_EQ(out.substr(out.size() - std::string(kTotal).size()), kTotal);
  EXPECT_EQ(addresses_selected(), (std::vector<std::string>{"fe", "ff", "00"}));
}

TEST_F(AnalogRegister, ReadShowsProgressEvery64Bytes) {
  start("--mode usb --type 1");
  std::string out63 = run({"t1", "ra", "0", "-s", "63", "-u"}).out;
  EXPECT_EQ(out63.find("finished"), std::string::npos);
  std::string out64 = run({"t1", "ra", "0", "-s", "64", "-u"}).out;
  EXPECT_EQ(out64.substr(0, progress(64).size() + 11), progress(64) + "\n 000000:  ");
  EXPECT_EQ(out64.find("finished", progress(64).size()), std::string::npos);
}

TEST_F(AnalogRegister, EachWrittenByteIsAFullCycleClosedWithZero) {
  start("--mode usb --type 1");
  ctl("trace-clear");
  EXPECT_EQ(run({"t1", "wa", "ff", "5a3c", "-s", "2", "-u"}).out,
            "\n Write 2 bytes at address 0000ff \t\n" + std::string(kTotal));
  std::vector<std::string> window;
  for (const auto &line : trace()) {
    if (line.compare(0, 7, "w s b8 ") == 0 || line.compare(0, 7, "w s b9 ") == 0 ||
        line.compare(0, 7, "w s ba ") == 0)
      window.push_back(line);
    else if (line.compare(0, 7, "r s ba ") == 0 && window.back().compare(0, 7, "r s ba ") != 0)
      window.push_back("r s ba");  // one or more busy polls
  }
  EXPECT_EQ(window, (std::vector<std::string>{"w s b8 ff", "w s b9 3c", "w s ba 60", "r s ba",
                                              "w s ba 00", "w s b8 00", "w s b9 5a", "w s ba 60",
                                              "r s ba", "w s ba 00"}));
}

TEST_F(AnalogRegister, WriteTimeLimitCoversTheWholeCommand) {
  start("--mode usb --type 1");
  ctl("set analog-busy-ms 30");
  ctl("trace-clear");
  // Each byte alone is well inside 100 ms; the fourth one crosses the limit of the command.
  EXPECT_EQ(EngineTest::run({"t1", "wa", "10", "11223344", "-s", "4", "-u"}).out,
            " [116]: read analog register timeout:100 ms \t\n");
  // A limit per byte would have let all four through (the success line); how many bytes got
  // going before the limit depends on the machine's load, so only the first is certain.
  EXPECT_GE(addresses_selected().size(), 1u);
  // A read gives each byte its own 100 ms.
  EXPECT_EQ(EngineTest::run({"t1", "ra", "10", "-s", "4", "-u"}).out.substr(0, 11), "\n 000010:  ");
}

TEST_F(AnalogRegister, BusyBitThatNeverClearsTimesOut) {
  start("--mode usb --type 1");
  ctl("set analog-busy-ms never");
  EXPECT_EQ(run({"t1", "ra", "0", "-s", "1", "-u"}).out,
            " [113]: read analog register timeout:100 ms \t\n");
  EXPECT_EQ(run({"t1", "wa", "0", "1", "-s", "1", "-u"}).out,
            " [116]: read analog register timeout:100 ms \t\n");
}

TEST_F(AnalogRegister, BusyTimeOutsOfTheLargeFamily) {
  start("--mode usb --type 3");
  ctl("set analog-busy-ms never");
  EXPECT_EQ(run({"t3", "ra", "0", "-s", "1", "-u"}).out,
            " [112]: read analog register timeout:100 ms \t\n");
  EXPECT_EQ(run({"t3", "wa", "0", "1", "-s", "1", "-u"}).out,
            " [115]: read analog register timeout:100 ms \t\n");
}

TEST_F(AnalogRegister, UsbSizeLimitsComeFirst) {
  start("--mode usb --type 1");
  EXPECT_EQ(run({"t1", "ra", "0", "-s", "2M", "-u"}).out, " [86]: read memory size exceed!!\t\n");
  EXPECT_EQ(run({"t1", "wa", "0", "1", "-s", "5", "-u"}).out,
            " [114]: write memory size exceed!!\t\n");
}

TEST_F(AnalogRegister, EvkModeChecksTheProbeFirst) {
  start("--mode usb --type 1");
  EXPECT_EQ(run({"t1", "ra", "0", "-s", "2M"}).out, " [117]: no evk device!\t\n");
}

TEST_F(AnalogRegister, EvkReadsAndWritesOverVlane) {
  start("--mode evk --type 1");
  ctl("trace-clear");
  EXPECT_EQ(run({"t1", "wa", "20", "77", "-s", "1"}).out,
            "\n Write 1 bytes at address 000020 \t\n" + std::string(kTotal));
  EXPECT_EQ(trace_with("w s 9fff"), std::vector<std::string>{"w s 9fff 10"});
  EXPECT_EQ(trace_with("vw b8 ").front(), "vw b8 20");
  std::string out = run({"t1", "ra", "20", "-s", "1"}).out;
  EXPECT_EQ(out, "\n 000020:  77 " + std::string(kTotal));
}

TEST_F(AnalogRegister, EvkSizeLimitsComeAfterTheProbeControlByte) {
  start("--mode evk --type 1");
  ctl("trace-clear");
  EXPECT_EQ(run({"t1", "wa", "0", "1", "-s", "5"}).out, " [122]: write memory size exceed!\t\n");
  EXPECT_EQ(trace_with("w s 9fff"), std::vector<std::string>{"w s 9fff 10"});
  EXPECT_EQ(run({"t1", "ra", "0", "-s", "2M"}).out, " [86]: read memory size exceed!!\t\n");
}

TEST_F(AnalogRegister, EvkFailuresAndTimeOuts) {
  start("--mode evk --type 1");
  ctl("fault vlane-read-fail ba");
  EXPECT_EQ(run({"t1", "ra", "0", "-s", "1"}).out, " [119]: read analog register err! \t\n");
  ctl("fault-clear");
  ctl("fault vlane-read-fail b9");
  EXPECT_EQ(run({"t1", "ra", "0", "-s", "1"}).out, " [121]: read analog register err! \t\n");
  ctl("fault-clear");
  ctl("set analog-busy-ms never");
  EXPECT_EQ(run({"t1", "ra", "0", "-s", "1"}).out,
            " [120]: read analog register timeout:100 ms \t\n");
  EXPECT_EQ(run({"t1", "wa", "0", "1", "-s", "1"}).out,
            " [123]: read analog register timeout:100 ms \t\n");
}

// Any failed transfer of the sequences, in either mode: its numbered line, no success line, no
// bytes shown, and the register as it was.
TEST_F(AnalogRegister, AFailedTransferEndsTheAccessWithoutSuccessOrStaleBytes) {
  const struct {
    const char *mode;
    const char *fault;
    std::vector<std::string> args;
    const char *out;
  } rows[] = {
      {"usb", "write-fail b9", {"t1", "wa", "40", "5a", "-s", "1", "-u"},
       " [235]: write analog register err! \t\n"},
      {"usb", "write-fail b8", {"t1", "ra", "40", "-s", "2", "-u"},
       " [234]: read analog register err! \t\n"},
      {"usb", "read-fail ba", {"t1", "ra", "40", "-s", "2", "-u"},
       " [234]: read analog register err! \t\n"},
      {"usb", "read-fail b9", {"t1", "ra", "40", "-s", "2", "-u"},
       " [234]: read analog register err! \t\n"},
      {"usb", "write-fail ba", {"t1", "wa", "40", "5a", "-s", "1", "-u"},
       " [235]: write analog register err! \t\n"},
      {"evk", "vlane-write-fail b8", {"t1", "ra", "40", "-s", "2"},
       " [236]: read analog register err! \t\n"},
      {"evk", "vlane-write-fail ba", {"t1", "wa", "40", "5a", "-s", "1"},
       " [237]: write analog register err! \t\n"},
  };
  for (const auto &row : rows) {
    start(std::string("--mode ") + row.mode + " --type 1");
    ctl("analog-write 40 1122");
    ctl(std::string("fault ") + row.fault);
    EXPECT_EQ(run(row.args).out, row.out) << row.mode << " " << row.fault;
    ctl("fault-clear");
    EXPECT_EQ(ctl("analog-read 40 2"), "1122") << row.mode << " " << row.fault;
  }
  // After the start (the device may have written by then): the busy wait and the closing
  // write of a write.
  const std::vector<std::string> write = {"t1", "wa", "40", "5a", "-s", "1", "-u"};
  const std::string failed = " [235]: write analog register err! \t\n";
  start("--mode usb --type 1");
  ctl("fault read-fail ba");
  EXPECT_EQ(run(write).out, failed);
  ctl("fault-clear");
  EXPECT_EQ(run_failing(write, "w s ba 00").out, failed);
}

}  // namespace
}  // namespace engine_test
