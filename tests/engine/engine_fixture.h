// SPDX-License-Identifier: Apache-2.0
// Engine transcript tests: the built program against a simulator of its own, one private
// install per test, console output compared byte for byte.
#ifndef ORVANE_TESTS_ENGINE_FIXTURE_H
#define ORVANE_TESTS_ENGINE_FIXTURE_H

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "harness.h"

namespace engine_test {

// Chips "t1" to "t5" are MCU types 1 to 5, rows 1 to 5 (for the numeric commands), each with
// the shipped flash writer for its family.  extra_rows are appended as given.
std::string test_config(const std::string &extra_rows = "");

// Common endings of a transcript.
extern const char kTotal[];  // "\n Total Time: # ms \t\n" (harness::mask_times)
extern const char kUsbOk[];  // " ZK32 USB : USB OK \t\n"
extern const char kEvkOk[];  // " ZK32 EVK : Vlane OK \t\n"

// " N \t bytes have finished! \t\n"
std::string progress(int bytes);
// The console dump of bytes read at address.
std::string dump(uint32_t address, const std::vector<unsigned char> &bytes);

class EngineTest : public ::testing::Test {
 protected:
  // Starts the simulator ("--mode usb --type 1" style; zero timing unless given) and an
  // install with test_config(extra_rows).
  void start(const std::string &sim_options, const std::string &extra_rows = "");
  // Runs the program with the time figure masked.
  harness::RunResult run(const std::vector<std::string> &args);
  // As run, in-process on a virtual clock (in_process.h): for runs that end in a time-out.
  harness::RunResult run_here(const std::vector<std::string> &args);
  std::string ctl(const std::string &command) { return sim->ctl(command); }
  // The trace since the last clear, and the lines beginning with prefix.
  std::vector<std::string> trace() { return sim->trace(); }
  std::vector<std::string> trace_with(const std::string &prefix);
  // Runs args once cleanly, then again with the control transfer traced as `line` in the
  // clean run made to fail ("fault stall N"), and returns the second run.
  harness::RunResult run_failing(const std::vector<std::string> &args, const std::string &line);

  std::unique_ptr<harness::Simulator> sim;
  std::unique_ptr<harness::Install> install;
};

}  // namespace engine_test

#endif
