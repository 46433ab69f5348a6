// SPDX-License-Identifier: Apache-2.0
// Runs a shell command line to its end with its standard output captured, for tests that
// run a command as a user types it (redirections included).  Programs run directly, with
// their output relayed, in a file or under a time limit, use base/child_process.h.
#ifndef ORVANE_SUPPORT_SHELL_COMMAND_H
#define ORVANE_SUPPORT_SHELL_COMMAND_H

#include <string>

#include "base/child_process.h"

namespace shell_command {

struct ShellResult {
  std::string out;  // standard output
  int status;       // exit status; -1 when the command could not run or did not exit
};

// Add " 2>&1" to the command for standard error too.  A command that leaves a daemon holding
// its output open is waited for as long as the daemon runs: give such a daemon a file.
inline ShellResult run_shell(const std::string &command) {
  ShellResult result{"", -1};
  child_options options;
  options.out_sink = [](const char *bytes, std::size_t count, void *out) {
    static_cast<std::string *>(out)->append(bytes, count);
  };
  options.context = &result.out;
  const child_result child = run_child({"/bin/sh", "-c", command}, options);
  if (child.started && child.ended_normally) result.status = static_cast<int>(child.exit_code);
  return result;
}

}  // namespace shell_command

#endif
