// SPDX-License-Identifier: Apache-2.0
// The built program itself: console text and exit codes of runs that need no device, and
// config.ini found beside the real program.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "support/scratch_files.h"
#include "support/shell_command.h"

namespace {

struct program_run {
  std::string out;
  int exit_code = -1;
};

// Runs a command through the shell, capturing standard output only.
program_run run_command(const std::string &command) {
  shell_command::ShellResult shell = shell_command::run_shell(command + " 2>/dev/null");
  return {shell.out, shell.status};
}

class BuiltProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = scratch_files::make_temp_dir("orvane-program");
    ASSERT_FALSE(dir_.empty());
  }
  void TearDown() override { scratch_files::remove_tree(dir_); }
  std::string dir_;
};

}  // namespace

TEST_F(BuiltProgram, NoArgumentsIsAnInvalidCommand) {
  program_run result = run_command(std::string("'") + ORVANE_PROGRAM + "'");
  EXPECT_EQ(result.out, " [0]:invaild cmd! \t\n");
  EXPECT_EQ(result.exit_code, 0);
}

TEST_F(BuiltProgram, HelpPrintsTheHelpText) {
  program_run result = run_command(std::string("'") + ORVANE_PROGRAM + "' help");
  EXPECT_EQ(result.out, scratch_files::read_file(ORVANE_HELP_GOLDEN));
  EXPECT_EQ(result.exit_code, 0);
}

TEST_F(BuiltProgram, AProgramWithoutConfigIniSaysSo) {
  std::string copy = dir_ + "/Orvane";
  ASSERT_EQ(run_command("cp '" + std::string(ORVANE_PROGRAM) + "' '" + copy + "'").exit_code, 0);
  program_run result = run_command("'" + copy + "' 4715 rst -u");
  EXPECT_EQ(result.out, " [1]:Fail to open file! \t\n");
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(run_command("'" + copy + "' help").exit_code, 0);
}

TEST_F(BuiltProgram, ConfigIniIsFoundBesideTheRealProgramThroughASymlink) {
  std::string link = dir_ + "/Orvane";
  ASSERT_EQ(symlink(ORVANE_PROGRAM, link.c_str()), 0);
  // "ini" prints nothing once config.ini is read and the chip is known.
  program_run result = run_command("'" + link + "' 4715 ini");
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.exit_code, 0);
  result = run_command("'" + link + "' 4715 wf 0");
  EXPECT_EQ(result.out, " [9]: wf cmd err!\n");
  EXPECT_EQ(result.exit_code, 1);
}
