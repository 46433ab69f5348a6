// SPDX-License-Identifier: Apache-2.0
// Shared pieces of the run-control, listing and single-wire transcript tests: a config.ini
// with one chip per family, a fixture that runs the program against a simulator, and the
// simulator's trace without the device discovery reads.
#ifndef ORVANE_TESTS_CONTROL_RUNCTL_SUPPORT_H
#define ORVANE_TESTS_CONTROL_RUNCTL_SUPPORT_H

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "harness.h"

namespace runctl {

// Rows 1, 2, 3: chips "c1" (MCU type 1), "c3" (type 3), "c4" (type 4).
inline const char *config_ini() {
  return "[MCU]\n"
         "MCU 1 zk32 = c1 \\writer\\none.bin end\n"
         "MCU 3 zk32 = c3 \\writer\\none.bin end\n"
         "MCU 4 zk32 = c4 \\writer\\none.bin end\n";
}

// A private install with config_ini(); every run starts with an empty trace, so the trace
// afterwards holds that run's transfers alone.
class TranscriptTest : public ::testing::Test {
 protected:
  harness::RunResult run(const std::vector<std::string> &args, harness::Simulator *sim) {
    if (sim) sim->ctl("trace-clear");
    return harness::run_orvane(install_, args, sim);
  }
  std::string out(const std::vector<std::string> &args, harness::Simulator *sim) {
    return run(args, sim).out;
  }

  harness::Install install_{config_ini()};
};

// Trace lines after dropping the identity and probe-id reads (0x7e, 0x7c) every run makes
// while it opens the device.
inline std::vector<std::string> operation_trace(harness::Simulator &sim) {
  std::vector<std::string> kept;
  for (const std::string &line : sim.trace()) {
    std::istringstream words(line);
    std::string kind, layout, address;
    words >> kind >> layout >> address;
    if (kind == "r" && (address == "7e" || address == "7c")) continue;
    kept.push_back(line);
  }
  return kept;
}

// Trace lines that begin with one of the prefixes, in order.
inline std::vector<std::string> trace_with(harness::Simulator &sim,
                                           const std::vector<std::string> &prefixes) {
  std::vector<std::string> kept;
  for (const std::string &line : sim.trace()) {
    for (const std::string &prefix : prefixes) {
      if (line.compare(0, prefix.size(), prefix) == 0) {
        kept.push_back(line);
        break;
      }
    }
  }
  return kept;
}

inline std::string hex_byte(unsigned value) {
  return harness::to_hex({static_cast<unsigned char>(value)});
}

}  // namespace runctl

#endif
