// SPDX-License-Identifier: Apache-2.0
// Single-wire set-up and activation end to end against a simulated EVK probe.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "harness.h"
#include "in_process.h"
#include "runctl_support.h"

namespace {

using Lines = std::vector<std::string>;

using ProbeOperations = runctl::TranscriptTest;

TEST_F(ProbeOperations, SetupWritesProbeThenTargetAndProvesTheLink) {
  harness::Simulator sim("--mode evk --type 4");
  EXPECT_EQ(out({"c4", "sws", "b0", "10", "b0", "10"}, &sim), " ZK32 EVK: Vlane ok! \t\n");
  // The mailbox traffic that carries each EVK command and each routed access is left out.
  EXPECT_EQ(runctl::trace_with(sim, {"w s b2 ", "w s 9fff ", "evk 0f00", "evk 0700", "v"}),
            (Lines{"w s b2 10", "w s 9fff 50", "evk 0f00 b3 1", "evk 0700 0 1", "evk 0700 0 1",
                   "vw b2 10", "vr b2 1 10"}));
}

TEST_F(ProbeOperations, SetupUsesLowBytesAndSumsWithoutWrapping) {
  harness::Simulator sim("--mode evk --type 1");
  EXPECT_EQ(out({"c1", "sws", "ff", "122", "1b2", "33"}, &sim), " ZK32 EVK: Vlane ok! \t\n");
  const Lines trace = runctl::trace_with(sim, {"w s 101 ", "w s 9fff 10", "evk 0f00", "vw "});
  EXPECT_EQ(trace, (Lines{"w s 101 22", "w s 9fff 10", "evk 0f00 b5 1", "vw b4 33"}));
}

TEST_F(ProbeOperations, SetupReportsADeadOrWrongReadBack) {
  harness::Simulator sim("--mode evk --type 1");
  // Value 0 and a read-back that delivers nothing: the link is not proven.
  sim.ctl("fault vlane-read-fail b2");
  EXPECT_EQ(out({"c1", "sws", "b0", "10", "b0", "0"}, &sim), " [56]: ZK32 EVK: Vlane err! \t\n");
  sim.ctl("fault-clear");
  sim.ctl("fault sw-readback-broken");
  EXPECT_EQ(out({"c1", "sws", "b0", "10", "b0", "10"}, &sim), " [56]: ZK32 EVK: Vlane err! \t\n");
}

TEST_F(ProbeOperations, SetupAndActivationNeedTheProbe) {
  harness::Simulator sim("--mode usb --type 1");
  EXPECT_EQ(out({"c1", "sws", "b0", "10", "b0", "10"}, &sim), " [55]: no evk device!\n");
  EXPECT_EQ(out({"c1", "ac"}, &sim), " [61]: only support evk mode! \t\n");
  EXPECT_EQ(runctl::trace_with(sim, {"w "}), Lines{});
  EXPECT_EQ(out({"c1", "sws", "b0", "10", "b0", "10"}, nullptr), " [55]: no evk device!\n");
}

TEST_F(ProbeOperations, ActivationCompletesTwoPassesAndChecksTheStatusByte) {
  harness::Simulator sim("--mode evk --type 3");
  sim.ctl("set activation-ms 0");
  EXPECT_EQ(out({"c3", "ac"}, &sim), " Activate OK! \t\n");
  EXPECT_EQ(runctl::trace_with(sim, {"w s 9fff", "vr 7f"}),
            (Lines{"w s 9fff 50", "w s 9fff 4d", "w s 9fff 50", "w s 9fff 4d", "vr 7f 1 53"}));

  sim.ctl("set status-byte 41");
  EXPECT_EQ(out({"c3", "ac"}, &sim), " [63]: activate failed! \t\n");
  sim.ctl("set status-byte 55");
  EXPECT_EQ(out({"3", "0", "0", "4", "2"}, &sim), " Activate OK! \t\n");
}

TEST_F(ProbeOperations, ActivationRefusesUsbModeEvenWithAProbe) {
  harness::Simulator sim("--mode evk --type 1");
  const harness::RunResult refused = run({"c1", "ac", "-u"}, &sim);
  EXPECT_EQ(refused.out, " [8]: ac cmd err!\n");
  EXPECT_EQ(refused.exit_code, 1);
  EXPECT_EQ(out({"3", "0", "0", "1", "1"}, &sim), " [61]: only support evk mode! \t\n");
  EXPECT_EQ(runctl::trace_with(sim, {"w "}), Lines{});
}

TEST_F(ProbeOperations, ActivationTimesOutWhenTheProbeNeverCompletes) {
  harness::Simulator sim("--mode evk --type 1");
  sim.ctl("set activation-ms never");
  sim.ctl("trace-clear");
  // Five seconds of polling: in-process, on a virtual clock.
  EXPECT_EQ(harness::run_orvane_here(install_, {"c1", "ac"}, sim).out,
            " [62]: activate timeout! \t\n");
  // The first pass timed out: one 'M' only, and the status byte is never read.
  EXPECT_EQ(runctl::trace_with(sim, {"w s 9fff 4d", "vr 7f"}), (Lines{"w s 9fff 4d"}));
}

}  // namespace
