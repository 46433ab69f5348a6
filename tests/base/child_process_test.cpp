// SPDX-License-Identifier: Apache-2.0
// The child-process runner: what the companion reports and what every end-to-end test reads
// hangs on telling a program that never ran from one that failed, and on keeping the output
// streams and the environment as asked.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "base/child_process.h"

namespace {

struct captured {
  std::string out, err;
};

void to_out(const char *bytes, size_t count, void *c) {
  static_cast<captured *>(c)->out.append(bytes, count);
}
void to_err(const char *bytes, size_t count, void *c) {
  static_cast<captured *>(c)->err.append(bytes, count);
}

TEST(ChildProcess, ReportsHowTheChildEndedAndWhatItWrote) {
  setenv("ORVANE_CHILD_TEST", "inherited", 1);
  setenv("ORVANE_CHILD_GONE", "inherited", 1);
  const struct {
    const char *name;
    std::string script;  // for /bin/sh -c; empty: a program that does not exist
    std::vector<std::string> env_set, env_unset;
    unsigned timeout_ms;
    bool started, ended_normally, timed_out;
    long exit_code;
    const char *out, *err;
  } cases[] = {
      {"missing program", "", {}, {}, 0, false, false, false, 127, "", ""},
      {"exit status", "printf a; printf b >&2; exit 3", {}, {}, 0, true, true, false, 3, "a", "b"},
      {"killed by a signal", "kill -9 $$", {}, {}, 0, true, false, false, 128 + 9, "", ""},
      {"time limit", "printf x; exec sleep 30", {}, {}, 200, true, false, true, 128 + 9, "x", ""},
      {"environment", "printf %s/%s \"$ORVANE_CHILD_TEST\" \"${ORVANE_CHILD_GONE-unset}\"",
       {"ORVANE_CHILD_TEST=first", "ORVANE_CHILD_TEST=last"}, {"ORVANE_CHILD_GONE"}, 0, true, true,
       false, 0, "last/unset", ""},
  };
  for (const auto &c : cases) {
    captured got;
    child_options options;
    options.out_sink = to_out;
    options.err_sink = to_err;
    options.context = &got;
    options.env_set = c.env_set;
    options.env_unset = c.env_unset;
    options.timeout_ms = c.timeout_ms;
    const std::vector<std::string> argv =
        c.script.empty() ? std::vector<std::string>{"/nonexistent/orvane-child"}
                         : std::vector<std::string>{"/bin/sh", "-c", c.script};
    const child_result r = run_child(argv, options);
    EXPECT_EQ(r.started, c.started) << c.name;
    EXPECT_EQ(r.started, r.error.empty()) << c.name << ": " << r.error;
    EXPECT_EQ(r.ended_normally, c.ended_normally) << c.name;
    EXPECT_EQ(r.timed_out, c.timed_out) << c.name;
    EXPECT_EQ(r.exit_code, c.exit_code) << c.name;
    EXPECT_EQ(got.out, c.out) << c.name;
    EXPECT_EQ(got.err, c.err) << c.name;
  }
}

// A daemon's children keep the descriptors they inherit: its output goes to a file, standard
// error with it when asked, and the runner returns when the command itself ends.
TEST(ChildProcess, OutputIntoAFileDoesNotWaitForWhatTheChildLeavesBehind) {
  char path[] = "/tmp/orvane-child-XXXXXX";
  const int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  close(fd);
  child_options options;
  options.out_file = path;
  options.err_with_out = true;
  const child_result r =
      run_child({"/bin/sh", "-c", "printf o; printf e >&2; (sleep 1 &) ; exit 0"}, options);
  EXPECT_TRUE(r.ended_normally);
  std::FILE *file = std::fopen(path, "rb");
  ASSERT_NE(file, nullptr);
  char text[8] = {};
  const size_t n = std::fread(text, 1, sizeof text - 1, file);
  std::fclose(file);
  std::remove(path);
  EXPECT_EQ(std::string(text, n), "oe");
}

}  // namespace
