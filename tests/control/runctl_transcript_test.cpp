// SPDX-License-Identifier: Apache-2.0
// Run control end to end: the real program against the simulator, its console lines byte
// for byte and the transfers the device received, in order.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "harness.h"
#include "runctl_support.h"

namespace {

using Lines = std::vector<std::string>;
using runctl::hex_byte;

class RunControl : public runctl::TranscriptTest {
 protected:
  static unsigned target_byte(harness::Simulator &sim, const std::string &address) {
    return harness::from_hex(sim.ctl("mem-read target " + address + " 1")).at(0);
  }
};

TEST_F(RunControl, UsbStopHaltsThenReadsTheProgramCounter) {
  harness::Simulator sim("--mode usb --type 1");
  sim.ctl("mem-write target 602 02");  // halted, so the program counter stays where it is set
  sim.ctl("pc-set 1234");
  const unsigned control = target_byte(sim, "602");
  const harness::RunResult result = run({"c1", "stop", "-u"}, &sim);
  EXPECT_EQ(result.out, " Stop MCU, PC is : 0x001234 \t\n");
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(runctl::operation_trace(sim),
            (Lines{"r s 602 1 " + hex_byte(control), "w s 602 " + hex_byte(control | 2),
                   "r s 6bc 4 34120000"}));
  EXPECT_EQ(target_byte(sim, "602") & 2, 2u);
}

// A type 3 chip running from SRAM at 0x40000: the program counter's third byte counts.
TEST_F(RunControl, ProgramCounterAbove16BitsInStopStepAndPc) {
  const std::string listing = install_.path("sram.lst");
  harness::write_file(listing,
                      "Disassembly of section .vectors:\n\n"
                      "00000000 <_vectors>:\n       0:\te0000100 \tj\t0x100\n\n"
                      "00041200 <sram_code>:\n   41234:\t00000000 \tnop\n   41238:\t00000000 \tnop\n"
                      "00041300 <after>:\n");
  const struct {
    std::vector<std::string> args;
    std::string expected;
  } rows[] = {
      {{"c3", "stop", "-u"}, " Stop MCU, PC is : 0x041234 \t\n"},
      {{"c3", "pc", "-i", listing, "-u"}, "00041200 <sram_code>:\n   41234: 00000000 \tnop\n"},
      {{"c3", "step", "-u"}, " Step MCU, PC is : 0x041238 \t\n"},
  };
  harness::Simulator sim("--mode usb --type 3");
  sim.ctl("mem-write target 41234 0000000000000000");  // two plain instructions
  for (const auto &row : rows) {
    sim.ctl("mem-write target 602 02");
    sim.ctl("pc-set 41234");
    EXPECT_EQ(out(row.args, &sim), row.expected) << row.args[1];
  }
}

TEST_F(RunControl, EvkStepSetsUpTheProbeThenStepsOverVlane) {
  harness::Simulator sim("--mode evk --type 3");
  sim.ctl("mem-write target 602 02");
  sim.ctl("pc-set 200");
  const unsigned control = target_byte(sim, "602");
  const std::string out_text = out({"c3", "step"}, &sim);
  char expected[64];
  std::snprintf(expected, sizeof expected, " Step MCU, PC is : 0x%.6lx \t\n",
                std::stoul(sim.ctl("pc-get"), nullptr, 16));
  EXPECT_EQ(out_text, expected);

  const Lines trace = runctl::trace_with(sim, {"w s 9fff", "v", "r s 6", "w s 6"});
  ASSERT_EQ(trace.size(), 6u) << ::testing::PrintToString(trace);
  EXPECT_EQ(trace[0], "w s 9fff 50");
  EXPECT_EQ(trace[1], "vr 602 1 " + hex_byte(control));
  EXPECT_EQ(trace[2], "vw 602 " + hex_byte(control | 2));
  EXPECT_EQ(trace[3].compare(0, 9, "vr 613 1 "), 0);
  const unsigned run_control = std::stoul(trace[3].substr(9), nullptr, 16);
  EXPECT_EQ(trace[4], "vw 613 " + hex_byte(run_control | 0x80));
  EXPECT_EQ(trace[5].compare(0, 9, "vr 6bc 4 "), 0);
}

TEST_F(RunControl, RunReleasesAndResetWritesTheResetRegister) {
  harness::Simulator sim("--mode usb --type 1");
  const unsigned control = target_byte(sim, "602");
  const unsigned release = target_byte(sim, "613");
  EXPECT_EQ(out({"c1", "run", "-u"}, &sim), " MCU Run \t\n");
  EXPECT_EQ(runctl::operation_trace(sim),
            (Lines{"r s 613 1 " + hex_byte(release), "w s 613 " + hex_byte(release | 0x80),
                   "r s 602 1 " + hex_byte(control), "w s 602 " + hex_byte(control & 0xfd)}));

  EXPECT_EQ(out({"c1", "rst", "-u"}, &sim), " Reset MCU \n");
  EXPECT_EQ(runctl::operation_trace(sim), (Lines{"w s 6f 20"}));
}

TEST_F(RunControl, BreakpointEntriesCarryLow24BitsAndTheEnableByte) {
  harness::Simulator sim("--mode usb --type 1");
  EXPECT_EQ(out({"c1", "bkp", "1000", "0", "1000000", "-u"}, &sim), " Set break point ok! \t\n");
  EXPECT_EQ(runctl::operation_trace(sim),
            (Lines{"w s 610 00100001", "w s 614 00000000", "w s 618 00000001",
                   "w s 61c 00000000"}));
}

// The device fails after it was found: each operation ends with its own line for its mode,
// never with the success line or a program counter that was not read.
TEST_F(RunControl, AFailedTransferEndsEachOperationWithItsNumberedLine) {
  const std::string listing = std::string(ORVANE_SOURCE_DIR) + "/examples/firmware.lst";
  const struct {
    const char *mode;
    const char *fault;  // usb: one register fails; evk: Vlane is broken
    std::vector<std::string> args;
    const char *out;
  } rows[] = {
      {"usb", "write-fail 6f", {"c1", "rst", "-u"}, " [222]: reset mcu err! \t\n"},
      {"usb", "read-fail 613", {"c1", "run", "-u"}, " [224]: run mcu err! \t\n"},
      {"usb", "write-fail 602", {"c1", "run", "-u"}, " [224]: run mcu err! \t\n"},
      {"usb", "read-fail 6bc", {"c1", "stop", "-u"}, " [226]: stop mcu err! \t\n"},
      {"usb", "read-fail 6bc", {"c1", "step", "-u"}, " [228]: step mcu err! \t\n"},
      {"usb", "write-fail 618", {"c1", "bkp", "1", "2", "3", "4", "-u"},
       " [230]: set break point err! \t\n"},
      {"usb", "read-fail 6bc", {"c1", "pc", "-i", listing, "-u"}, " [232]: read pc err! \t\n"},
      {"evk", "vlane-broken", {"c1", "rst"}, " [223]: reset mcu err! \t\n"},
      {"evk", "vlane-broken", {"c1", "run"}, " [225]: run mcu err! \t\n"},
      {"evk", "vlane-broken", {"c1", "stop"}, " [227]: stop mcu err! \t\n"},
      {"evk", "vlane-broken", {"c1", "step"}, " [229]: step mcu err! \t\n"},
      {"evk", "vlane-broken", {"c1", "bkp", "1", "2", "3", "4"}, " [231]: set break point err! \t\n"},
      {"evk", "vlane-broken", {"c1", "pc", "-i", listing}, " [233]: read pc err! \t\n"},
  };
  harness::Simulator usb("--mode usb --type 1");
  harness::Simulator evk("--mode evk --type 1");
  for (const auto &row : rows) {
    harness::Simulator &sim = std::string(row.mode) == "usb" ? usb : evk;
    sim.ctl(std::string("fault ") + row.fault);
    EXPECT_EQ(out(row.args, &sim), row.out) << row.mode << " " << row.args[1];
    sim.ctl("fault-clear");
  }
}

TEST_F(RunControl, WithoutAnyDeviceEachOperationSaysNoUsbDevice) {
  EXPECT_EQ(out({"c1", "rst", "-u"}, nullptr), " [42]: no usb device!\n");
  EXPECT_EQ(out({"c1", "run"}, nullptr), " [45]: no usb device!\n");
  EXPECT_EQ(out({"c3", "stop", "-u"}, nullptr), " [48]: no usb device!\n");
  EXPECT_EQ(out({"c1", "step"}, nullptr), " [51]: no usb device!\n");
  EXPECT_EQ(out({"c4", "bkp", "1", "2", "3", "4"}, nullptr), " [54]: no usb device!\n");
}

TEST_F(RunControl, EvkModeOnADirectChipSaysNoEvkDeviceAndWritesNothing) {
  harness::Simulator sim("--mode usb --type 1");
  EXPECT_EQ(out({"c1", "rst"}, &sim), " [43]: no evk device!\n");
  EXPECT_EQ(out({"c1", "stop"}, &sim), " [49]: no evk device!\n");
  EXPECT_EQ(runctl::trace_with(sim, {"w "}), Lines{});
}

// The reverse: usb mode on an EVK probe.  The search's identity read already shows the probe,
// so every command ends with 241 and writes nothing: no " Reset MCU", no made-up PC, no
// writer loaded into the probe's memory.
TEST_F(RunControl, UsbModeOnAnEvkProbeSaysSoAndWritesNothing) {
  harness::Simulator sim("--mode evk --type 1");
  const std::string refused = " [241]: evk device found, not usb! \t\n";
  const std::vector<std::vector<std::string>> commands = {
      {"c1", "rst", "-u"}, {"c1", "stop", "-u"}, {"c1", "wf", "0", "-e", "1", "-u"},
      {"c1", "rc", "8000", "-s", "4", "-u"}, {"c1", "wa", "10", "5a", "-s", "1", "-u"}};
  for (const auto &command : commands) EXPECT_EQ(out(command, &sim), refused) << command[1];
  EXPECT_EQ(runctl::trace_with(sim, {"w "}), Lines{});
}

TEST_F(RunControl, NumericCommandsPassUsbOrEvkAndResetPassesItsModeUnchanged) {
  harness::Simulator sim("--mode usb --type 1");
  sim.ctl("mem-write target 602 02");  // halted, so the program counter stays where it is set
  sim.ctl("pc-set 1234");
  EXPECT_EQ(out({"9", "5", "0", "1", "1"}, &sim), " Stop MCU, PC is : 0x001234 \t\n");
  // Any mode but 1 reaches run, stop, step and bkp as evk, which a direct chip refuses.
  EXPECT_EQ(out({"8", "5", "0", "2", "1"}, &sim), " [46]: no evk device!\n");
  EXPECT_EQ(out({"a", "5", "0", "0", "1"}, &sim), " [52]: no evk device!\n");
  EXPECT_EQ(out({"c", "5", "0", "7", "1", "1", "2", "3", "4"}, &sim), " [55]: no evk device!\n");
  const std::string listing = install_.path("empty.lst");
  harness::write_file(listing, "");
  EXPECT_EQ(out({"b", "5", "0", "3", "1", listing}, &sim), " [40]: no evk device!\n");
  EXPECT_EQ(out({"b", "5", "0", "1", "1", listing}, &sim), "");
  // Reset gets mode 2 as it is: no transfer, only its final line.
  EXPECT_EQ(out({"7", "5", "0", "2", "1"}, &sim), " Reset MCU \n");
  EXPECT_EQ(runctl::operation_trace(sim), Lines{});
  EXPECT_EQ(out({"7", "5", "0", "4", "1"}, &sim), " [43]: no evk device!\n");
}

}  // namespace
