// SPDX-License-Identifier: Apache-2.0
// orvane-debug scripted against the simulator running the sample firmware: a whole session
// in usb and in evk mode, transcript and chip state, and sessions that must fail.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "harness.h"

namespace {

const std::string kExamples = ZK32_EXAMPLES_DIR;

// An installed program with orvane-debug beside it, as installed.
struct DebugInstall {
  harness::Install install;
  std::string program = install.path("orvane-debug");
  DebugInstall() {
    std::error_code ec;
    std::filesystem::copy_file(ORVANE_DEBUG_PROGRAM, program, ec);
    EXPECT_FALSE(ec) << ec.message();
  }
  harness::RunResult run(std::vector<std::string> args, const harness::Simulator *sim) {
    args.insert(args.begin(), program);
    return harness::run_with_devices(install, args, sim);
  }
};

// -c COMMAND for each command.
std::vector<std::string> script(const std::vector<std::string> &commands) {
  std::vector<std::string> args;
  for (const std::string &command : commands) {
    args.push_back("-c");
    args.push_back(command);
  }
  return args;
}

TEST(DebugSession, BreaksInARoutineTheFirmwareCallsAndStepsOn) {
  struct Case {
    const char *simulator;
    std::vector<std::string> chip;
  };
  const Case cases[] = {
      {"--mode usb --type 1 --timing zero", {"4710", "-u"}},
      {"--mode evk --type 3 --timing zero", {"4715"}},
  };
  const std::string firmware = harness::read_file(kExamples + "/firmware.bin");
  ASSERT_FALSE(firmware.empty());
  for (const Case &c : cases) {
    SCOPED_TRACE(c.simulator);
    harness::Simulator sim(c.simulator);
    DebugInstall debug;
    std::vector<std::string> args = c.chip;
    for (const char *a : {"--listing", "LST", "--wait", "30"})
      args.push_back(std::string(a) == "LST" ? kExamples + "/firmware.lst" : a);
    for (const std::string &a :
         script({"load " + kExamples + "/firmware.bin", "reset", "break print_count",
                 "continue", "where", "step", "where", "x 6bc 4", "info break", "delete 0",
                 "info break", "quit", "reset"}))
      args.push_back(a);
    const harness::RunResult run = debug.run(args, &sim);
    EXPECT_EQ(0, run.exit_code) << run.err;
    EXPECT_EQ("loaded " + std::to_string(firmware.size()) +
                  " bytes into flash in 1 segment\n"
                  "reset\n"
                  "breakpoint 0 at 0x000070 <print_count>\n"
                  "stopped at breakpoint 0, 0x000070 <print_count>\n"
                  "pc 0x000070 <print_count>\n"
                  "pc 0x000074 <print_count+0x4>\n"
                  "00000070 <print_count>:\n"
                  "      74: e3800230 \tli\tr8, 560\n"
                  "0x0006bc: 74 00 00 00                                      |t...|\n"
                  "breakpoint 0 at 0x000070 <print_count>\n"
                  "deleted breakpoint 0\n"
                  "no breakpoints\n",
              run.out);
    // The chip holds what the session said: the core halted at the step, no entry armed.
    EXPECT_EQ("74", sim.ctl("pc-get"));
    EXPECT_EQ("00000000000000000000000000000000", sim.ctl("mem-read target 610 10"));
  }
}

TEST(DebugSession, AFailedCommandEndsTheScriptWithStatusOne) {
  struct Case {
    const char *simulator;  // nullptr: no device at all
    std::vector<std::string> args;
    std::string out;
  };
  const std::string listing = kExamples + "/firmware.lst";
  // An Intel HEX file with one byte for SRAM: a download there would start the core.
  const std::string sram_hex =
      (std::filesystem::temp_directory_path() / ("sram-" + std::to_string(getpid()) + ".hex"))
          .string();
  harness::write_file(sram_hex, ":01800000AAD5\n:00000001FF\n");
  const Case cases[] = {
      {nullptr, {"4710", "-u", "-c", "reset", "-c", "symbols"}, "error: [42]: no usb device!\n"},
      // A device that is there but is no EVK probe: refused, never read as success.
      {"--mode usb --type 1 --timing zero", {"4710", "-c", "halt"},
       "error: [49]: no evk device!\n"},
      {nullptr,
       {"4710", "-u", "--listing", listing, "-c", "symbols main", "-c", "break nosuch", "-c",
        "reset"},
       "0x000100 main\n0x000120 main_loop\nerror: no symbol \"nosuch\"\n"},
      {nullptr, {"4710", "-u", "-c", "x 8000 0"}, "error: a length from 1 to 65536\n"},
      {nullptr, {"4799", "-u", "-c", "reset"}, "error: [200]: chip 4799 not found in config.ini!\n"},
      {nullptr, {"4710", "-u", "-c", "load " + sram_hex},
       "error: the file loads SRAM at 0x008000: load takes flash only\n"},
      {nullptr, {"4710", "-u", "-c", "load " + sram_hex + " 1000"},
       "error: " + sram_hex + " is Intel HEX and carries its own addresses: load FILE without an "
       "address\n"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.out);
    std::unique_ptr<harness::Simulator> sim;
    if (c.simulator != nullptr) sim.reset(new harness::Simulator(c.simulator));
    DebugInstall debug;
    const harness::RunResult run = debug.run(c.args, sim.get());
    EXPECT_EQ(1, run.exit_code);
    EXPECT_EQ(c.out, run.out);
  }
  std::remove(sram_hex.c_str());
}

}  // namespace
