// SPDX-License-Identifier: Apache-2.0
// Runs a built program as a child that sees the emulated USB bus (the umockdev preload library
// and the testbed directory) and no simulated devices, capturing its output.
#ifndef ORVANE_TESTS_USBMOCK_RUN_CHILD_H
#define ORVANE_TESTS_USBMOCK_RUN_CHILD_H

#include <string>
#include <vector>

namespace usbmock {

struct ChildResult {
  std::string out;
  std::string err;
  int exit_code = -1;  // -1: killed (time-out) or could not start
};

struct ChildOptions {
  std::vector<std::string> env;    // extra NAME=VALUE entries (override inherited ones)
  int timeout_seconds = 60;
  bool without_file_override = false;  // drop root's permission override (see NoFileOverride)
};

ChildResult run_child(const std::vector<std::string> &argv, const ChildOptions &options);

// An empty directory for ZK32_SIM_DIR, so that the simulator port finds nothing; created once.
const std::string &empty_sim_dir();

}  // namespace usbmock

#endif
