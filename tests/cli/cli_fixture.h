// SPDX-License-Identifier: Apache-2.0
// Runs command lines through the entry against a config.ini in a temporary directory, with
// the operations replaced by the recorder; gives the console text, exit code and calls.
#ifndef ORVANE_TESTS_CLI_CLI_FIXTURE_H
#define ORVANE_TESTS_CLI_CLI_FIXTURE_H

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/cli/operation_recorder.h"

// Rows 1 to 4: chips 4710, 4712, 4715, 4716 of MCU types 1 to 4.
extern const char kStandardConfig[];

struct cli_result {
  std::string out;
  int exit_code = -1;
  std::vector<recorded_call> calls;
};

class CliTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  void write_config(const std::string &content);
  // Runs "Orvane" followed by words (split at blanks; use run_args for words with blanks).
  cli_result run(const std::string &words);
  cli_result run_args(const std::vector<std::string> &args);

  // The single call made, or a failure when there was not exactly one.
  static recorded_call only_call(const cli_result &result);
  // A refused command line: exactly this console text and exit code, and no operation called.
  // The character grammar refuses with exit code 1, the numeric grammar with 0.
  static void expect_refused(const cli_result &result, const char *message, int exit_code = 1);

  std::string dir_;
};

#endif
