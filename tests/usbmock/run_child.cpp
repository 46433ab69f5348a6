// SPDX-License-Identifier: Apache-2.0
#include "run_child.h"

#include <linux/capability.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <cstdlib>

#include "base/child_process.h"
#include "mock_usb.h"

namespace usbmock {

namespace {

// Root regains every capability in its bounding set at exec: take these out of it.
void drop_file_override() {
  prctl(PR_CAPBSET_DROP, CAP_DAC_OVERRIDE, 0, 0, 0);
  prctl(PR_CAPBSET_DROP, CAP_DAC_READ_SEARCH, 0, 0, 0);
}

void append_out(const char *bytes, size_t count, void *result) {
  static_cast<ChildResult *>(result)->out.append(bytes, count);
}

void append_err(const char *bytes, size_t count, void *result) {
  static_cast<ChildResult *>(result)->err.append(bytes, count);
}

}  // namespace

const std::string &empty_sim_dir() {
  static const std::string dir = [] {
    char pattern[] = "/tmp/usbmock-nosim-XXXXXX";
    const char *made = mkdtemp(pattern);
    return std::string(made ? made : "/nonexistent-usbmock-sim-dir");
  }();
  return dir;
}

ChildResult run_child(const std::vector<std::string> &argv, const ChildOptions &options) {
  ChildResult result;
  child_options run;
  run.env_set = {"LD_PRELOAD=" + child_preload(), "ZK32_SIM_DIR=" + empty_sim_dir()};
  const char *umockdev_dir = std::getenv("UMOCKDEV_DIR");
  if (umockdev_dir != nullptr) run.env_set.push_back(std::string("UMOCKDEV_DIR=") + umockdev_dir);
  run.env_set.insert(run.env_set.end(), options.env.begin(), options.env.end());
  run.out_sink = append_out;
  run.err_sink = append_err;
  run.context = &result;
  run.timeout_ms = static_cast<unsigned>(options.timeout_seconds) * 1000u;
  if (options.without_file_override) run.before_exec = drop_file_override;
  const child_result child = ::run_child(argv, run);
  result.exit_code = child.started && child.ended_normally ? static_cast<int>(child.exit_code) : -1;
  return result;
}

}  // namespace usbmock
