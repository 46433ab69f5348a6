// SPDX-License-Identifier: Apache-2.0
// The numeric grammar: fixed hexadecimal positions, rows by number, and the help text.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "tests/cli/cli_fixture.h"

using NumericGrammar = CliTest;
using values = std::vector<int64_t>;

namespace {

std::string help_golden() {
  std::ifstream file(ORVANE_HELP_GOLDEN, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

}  // namespace

TEST_F(NumericGrammar, DownloadTakesTypeAndWriterFromTheRow) {
  recorded_call call = only_call(run("1 1 0 1 1 C:\\Users\\Dunlor.bin"));
  EXPECT_EQ(call.name, "download_image");
  EXPECT_EQ(call.values, (values{1, 1, 0, 1}));
  EXPECT_EQ(call.path, "C:\\Users\\Dunlor.bin");
  EXPECT_EQ(call.writer_path, "\\writer\\zk4710.bin");
  // Object 2 is SRAM; only the object's low 8 bits count; the mode passes unchanged.
  call = only_call(run("1 102 40000 7 3 image.bin"));
  EXPECT_EQ(call.values, (values{7, 3, 0x40000, 2}));
  EXPECT_EQ(call.writer_path, "\\writer\\zk4715.bin");
}

TEST_F(NumericGrammar, DownloadPathsGetABlankForEachMarker) {
  EXPECT_EQ(only_call(run("1 1 0 1 1 My#njj#Desktop#njj#a.bin")).path, "My Desktop a.bin");
  EXPECT_EQ(only_call(run("1 1 0 1 1 #njj##njj#a#njj")).path, "  a#njj");
  std::string long_path(256, 'a');
  expect_refused(run_args({"1", "1", "0", "1", "1", long_path}), " [202]: path too long! \t\n", 0);
  EXPECT_EQ(only_call(run_args({"1", "1", "0", "1", "1", long_path.substr(1)})).path.size(), 255u);
}

TEST_F(NumericGrammar, DownloadRefusals) {
  expect_refused(run("1 1 0 1 1"), " [57]: invalid download cmd! \t\n", 0);
  expect_refused(run("1 1 0 1 1 a.bin x"), " [57]: invalid download cmd! \t\n", 0);
  expect_refused(run("1 3 0 1 1 a.bin"), " [58]: invalid download cmd! \t\n", 0);
}

TEST_F(NumericGrammar, EraseOnlyForFlash) {
  recorded_call call = only_call(run("2 1 1000 4 2 10"));
  EXPECT_EQ(call.name, "erase_flash");
  EXPECT_EQ(call.values, (values{4, 2, 0x1000, 0x10}));
  EXPECT_EQ(call.writer_path, "\\writer\\zk4712.bin");
  cli_result result = run("2 2 1000 4 2 10");
  EXPECT_EQ(result.out, "");
  EXPECT_TRUE(result.calls.empty());
  expect_refused(run("2 1 1000 4 2"), " [59]: invalid erase cmd! \t\n", 0);
}

TEST_F(NumericGrammar, ActivateNeedsExactlySixArguments) {
  recorded_call call = only_call(run("3 0 0 4 1"));
  EXPECT_EQ(call.name, "activate_target");
  EXPECT_EQ(call.values, (values{4, 1}));
  EXPECT_EQ(call.writer_path, "");
  expect_refused(run("3 0 0 4 1 x"), " [60]: invalid activate cmd! \t\n", 0);
}

TEST_F(NumericGrammar, ReadAndWritePickTheOperationByObject) {
  recorded_call call = only_call(run("5 2 8000 4 1 400"));
  EXPECT_EQ(call.name, "access_sram");
  EXPECT_EQ(call.values, (values{4, 1, 0x8000, 0x400, 0, 5}));
  EXPECT_EQ(call.writer_path, "\\writer\\zk4710.bin");
  call = only_call(run("6 4 b8 1 1 1 5a"));
  EXPECT_EQ(call.name, "access_analog_register");
  EXPECT_EQ(call.values, (values{1, 1, 0xb8, 1, 0x5a, 6}));
  EXPECT_EQ(only_call(run("5 1 0 1 4 100")).name, "access_flash");
  // No address test: object 3 reaches registers even at an SRAM address.
  EXPECT_EQ(only_call(run("6 3 9000 1 1 1 ff")).name, "access_digital_register");
  cli_result result = run("5 7 0 1 1 10");
  EXPECT_EQ(result.out, "");
  EXPECT_TRUE(result.calls.empty());
  expect_refused(run("5 2 8000 4 1"), " [64]: invalid read cmd! \t\n", 0);
  expect_refused(run("6 2 8000 4 1 4"), " [65]: invalid write cmd! \t\n", 0);
}

TEST_F(NumericGrammar, RunControlPassesUsbOrEvkButResetPassesTheModeAsGiven) {
  EXPECT_EQ(only_call(run("8 5 0 2 1")).values, (values{4, 1}));
  EXPECT_EQ(only_call(run("8 5 0 1 3")).values, (values{1, 3}));
  EXPECT_EQ(only_call(run("9 5 0 1 2")).name, "stop_mcu");
  EXPECT_EQ(only_call(run("a 5 0 0 2")).values, (values{4, 2}));
  EXPECT_EQ(only_call(run("a 5 0 0 2")).name, "step_mcu");
  recorded_call call = only_call(run("7 5 0 2 1"));
  EXPECT_EQ(call.name, "reset_mcu");
  EXPECT_EQ(call.values, (values{2, 1}));
  EXPECT_EQ(call.writer_path, "");
}

TEST_F(NumericGrammar, McuCommandsRefuseAnyObjectButFive) {
  expect_refused(run("7 4 0 1 1"), " [37]: invalid run cmd\n", 0);
  expect_refused(run("8 4 0 1 1"), " [32]: invalid run cmd\n", 0);
  expect_refused(run("9 4 0 1 1"), " [33]: invalid stop cmd", 0);
  expect_refused(run("a 4 0 1 1"), " [34]: invalid step cmd\n", 0);
  expect_refused(run("b 4 0 1 1 a.lst"), " [35]: invalid pc cmd\n", 0);
  expect_refused(run("c 105 0 1 1 1 2 3 4"), " [36]: invalid bkp cmd\n", 0);
  expect_refused(run("d 4 0 1 1 1 2 3 4"), " [36]: invalid sws cmd\n", 0);
}

TEST_F(NumericGrammar, PcBkpAndSwsTakeTheirParameters) {
  recorded_call call = only_call(run("b 5 0 1 3 C:\\my#njj#app.lst"));
  EXPECT_EQ(call.name, "show_pc_in_listing");
  EXPECT_EQ(call.values, (values{1, 3}));
  EXPECT_EQ(call.listing_path, "C:\\my app.lst");
  EXPECT_EQ(call.path, "C:\\my app.lst");
  call = only_call(run("c 5 0 4 1 100 200 300 400"));
  EXPECT_EQ(call.name, "set_breakpoints");
  EXPECT_EQ(call.values, (values{4, 1, 0x100, 0x200, 0x300, 0x400}));
  call = only_call(run("d 5 0 4 2 1b0 10 b0 10"));
  EXPECT_EQ(call.name, "setup_single_wire");
  EXPECT_EQ(call.values, (values{2, 0xb0, 0x10, 0xb0, 0x10}));
}

TEST_F(NumericGrammar, CommandsWithoutACountTestReadMissingArgumentsAsEmpty) {
  expect_refused(run("7"), " [37]: invalid run cmd\n", 0);
  EXPECT_EQ(only_call(run("8 5")).values, (values{4, 0}));
  EXPECT_EQ(only_call(run("7 5 0")).values, (values{0, 0}));
  recorded_call call = only_call(run("b 5 0 1 1"));
  EXPECT_EQ(call.path, "");
  EXPECT_EQ(call.values, (values{1, 1}));
  EXPECT_EQ(only_call(run("c 5 0 1 1 100")).values, (values{1, 1, 0x100, 0, 0, 0}));
  EXPECT_EQ(only_call(run("d 5 0 1 1 b0 10")).values, (values{1, 0xb0, 0x10, 0, 0}));
}

TEST_F(NumericGrammar, RowNumbersOutsideTheFilledRowsGiveAnEmptyRow) {
  for (const char *row : {"5", "400", "0", "-1", "401", "7fffffff", "80000000"}) {
    recorded_call call = only_call(run(std::string("5 1 0 1 ") + row + " 10"));
    EXPECT_EQ(call.values[1], 0) << row;
    EXPECT_EQ(call.writer_path, "") << row;
  }
  EXPECT_EQ(only_call(run("5 1 0 1 4 10")).values[1], 4);
}

TEST_F(NumericGrammar, SettingAndUnknownCodesDoNothing) {
  for (const char *words : {"4", "4 1 2 3 4 5 6 7 8 9", "f 1 0 1 1 10", "ff", "100 1 0 1 1 10"}) {
    cli_result result = run(words);
    EXPECT_EQ(result.out, "") << words;
    EXPECT_EQ(result.exit_code, 0);
    EXPECT_TRUE(result.calls.empty()) << words;
  }
}

TEST_F(NumericGrammar, HelpTextIsPrintedForHelpAndForCodeE) {
  std::string golden = help_golden();
  ASSERT_EQ(golden.size(), 2807u);
  EXPECT_EQ(run("help").out, golden);
  EXPECT_EQ(run("e x").out, golden);
  EXPECT_EQ(run("10e").out, golden);
}
