// SPDX-License-Identifier: Apache-2.0
// A tool that drives the program through a pipe must see each console line as it is printed,
// not when the program ends: the first line of a long download is read while it still runs.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "download_support.h"
#include "harness.h"

namespace {

TEST(DownloadThroughAPipe, FirstLineArrivesWhileTheProgramStillRuns) {
  harness::Simulator sim("--mode usb --type 1 --timing zero");
  // Every page program now outlasts the 2 s acknowledge limit: the 17 pages take over 30 s.
  sim.ctl("set writer-program-ms 100000");
  harness::Install install;
  const std::string image =
      dltest::save_image(install, "image.bin", dltest::make_image(4096 + 256));

  int lines[2];
  ASSERT_EQ(pipe(lines), 0);
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    dup2(lines[1], 1);
    close(lines[0]);
    close(lines[1]);
    setenv("ZK32_SIM_DIR", sim.dir().c_str(), 1);
    execl(install.program.c_str(), install.program.c_str(), "4710", "wf", "0", "-i",
          image.c_str(), "-u", static_cast<char *>(nullptr));
    _exit(127);
  }
  close(lines[1]);
  std::string first;
  char c;
  while (read(lines[0], &c, 1) == 1 && c != '\n') first += c;
  // Had the line waited in a buffer, it would have come at the end, after the program had
  // sent each of the 17 pages its commands (three writes each).
  const size_t writes = dltest::trace_lines(sim, "w ").size();
  kill(pid, SIGKILL);
  int status = 0;
  waitpid(pid, &status, 0);
  close(lines[0]);
  EXPECT_EQ(first, " ZK32 USB : USB OK \t");
  EXPECT_LT(writes, 17u * 3) << "the first line came only when the program ended";
}

}  // namespace
