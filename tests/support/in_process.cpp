// SPDX-License-Identifier: Apache-2.0
#include "in_process.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdint>
#include <cstring>

#include "base/platform.h"
#include "base/state.h"
#include "cli/entry.h"

namespace harness {

namespace {

uint32_t virtual_ms = 0;

uint32_t virtual_clock() { return ++virtual_ms; }
void virtual_sleep(uint32_t milliseconds) { virtual_ms += milliseconds; }

}  // namespace

namespace {

void enter(const Install &install, const Simulator &sim) {
  setenv("ZK32_SIM_DIR", sim.dir().c_str(), 1);
  unsetenv("ZK32_SIM_TCP");
  override_program_path(install.program.c_str());
  override_clock(virtual_clock, virtual_sleep);
}

void leave() {
  override_clock(nullptr, nullptr);
  override_program_path(nullptr);
  unsetenv("ZK32_SIM_DIR");
}

}  // namespace

RunResult run_operation_here(const Install &install, const Simulator &sim, const char *chip,
                             const std::function<void()> &operation) {
  run_orvane_here(install, {chip, "ini"}, sim);
  enter(install, sim);
  RunResult result;
  ::testing::internal::CaptureStdout();
  operation();
  result.out = ::testing::internal::GetCapturedStdout();
  leave();
  return result;
}

RunResult run_orvane_here(const Install &install, const std::vector<std::string> &args,
                          const Simulator &sim) {
  // A fresh process state, as a real run starts with.
  std::memset(writer_path, 0, sizeof writer_path);
  std::memset(output_path, 0, sizeof output_path);
  std::memset(listing_path, 0, sizeof listing_path);
  output_path_set = 0;

  std::vector<std::string> storage = {install.program};
  storage.insert(storage.end(), args.begin(), args.end());
  std::vector<char *> argv;
  for (std::string &word : storage) argv.push_back(&word[0]);
  argv.push_back(nullptr);

  enter(install, sim);
  RunResult result;
  ::testing::internal::CaptureStdout();
  result.exit_code = orvane_main(static_cast<int>(storage.size()), argv.data());
  result.out = ::testing::internal::GetCapturedStdout();

  leave();
  return result;
}

}  // namespace harness
