// SPDX-License-Identifier: Apache-2.0
// config.ini into the MCU table, and the chip selection of character commands.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "base/state.h"
#include "cli/entry.h"
#include "cli/mcu_table.h"
#include "tests/cli/cli_fixture.h"

namespace {

// Reads text as config.ini would be read.
void read_table_from(const std::string &text) {
  std::FILE *file = std::tmpfile();
  ASSERT_NE(file, nullptr);
  std::fwrite(text.data(), 1, text.size(), file);
  std::rewind(file);
  read_mcu_table(file);
  std::fclose(file);
}

std::string row_text(int row) {
  const mcu_row &r = mcu_table[row];
  return std::string(r.type_text) + "|" + r.chip_name + "|" + r.writer_file;
}

}  // namespace

TEST(ConfigTable, RowsNeedMcuAndEqualsAndTakeFieldsTwoFiveSix) {
  read_table_from(
      "; comment\n"
      "[MCU]\n"
      "\n"
      "  \tMCU 1 zk32 = 4710 \\w\\a.bin end\n"
      "mcu 2 zk32 = 4712 \\w\\b.bin end\n"
      "MCU 3 zk32 : 4715 \\w\\c.bin end\n"
      "MCU\t0x3\t=\t=\t4715\t\\w\\d.bin\t=\t=\t=\t=\t=\n");
  ASSERT_EQ(mcu_count, 2);
  EXPECT_EQ(row_text(0), "1|4710|\\w\\a.bin");
  EXPECT_EQ(row_text(1), "0x3|4715|\\w\\d.bin");
  EXPECT_EQ(row_text(2), "||");
}

TEST(ConfigTable, TheLineEndStaysWithTheLastToken) {
  read_table_from("MCU 1 x = 4710 \\w\\a.bin\r\nMCU 1 x = 4711 \\w\\b.bin \r\n");
  ASSERT_EQ(mcu_count, 2);
  EXPECT_STREQ(mcu_table[0].writer_file, "\\w\\a.bin\r\n");
  EXPECT_STREQ(mcu_table[1].writer_file, "\\w\\b.bin");
}

TEST(ConfigTable, AByteOrderMarkSpoilsTheFirstLine) {
  read_table_from("\xEF\xBB\xBFMCU 1 x = 4710 \\w\\a.bin end\nMCU 2 x = 4712 \\w\\b.bin end\n");
  ASSERT_EQ(mcu_count, 1);
  EXPECT_STREQ(mcu_table[0].chip_name, "4712");
}

TEST(ConfigTable, LinesWithMissingFieldsAreNoRows) {
  read_table_from(
      "MCU 1 x = 4710\n"
      "MCU 1 x = 4710 \r\n"
      "MCU 1 x = 4710\t\n"
      "MCU 1 x =\n"
      "MCU 1 x\n"
      "MCU\n"
      "MCU 1 x = 4710 \\w\\ok.bin end\n");
  ASSERT_EQ(mcu_count, 1);
  EXPECT_STREQ(mcu_table[0].writer_file, "\\w\\ok.bin");
}

TEST(ConfigTable, RowsWithOverlongFieldsAreLeftOutWholeFieldsFit) {
  std::string writer_260 = "\\" + std::string(259, 'w');
  std::string writer_261 = "\\" + std::string(260, 'w');
  read_table_from("MCU 1234567 x = 1234567 " + writer_260 + " end\n" +
                  "MCU 12345678 x = 4710 \\w\\a.bin end\n" +
                  "MCU 1 x = 12345678 \\w\\a.bin end\n" +
                  "MCU 1 x = 4710 " + writer_261 + " end\n");
  ASSERT_EQ(mcu_count, 1);
  EXPECT_STREQ(mcu_table[0].type_text, "1234567");
  EXPECT_STREQ(mcu_table[0].chip_name, "1234567");
  EXPECT_EQ(std::string(mcu_table[0].writer_file), writer_260);
}

TEST(ConfigTable, RowsBeyond1024AreIgnored) {
  std::string text;
  for (int i = 0; i < 1100; ++i) text += "MCU 1 x = c" + std::to_string(i) + " \\w\\a.bin end\n";
  read_table_from(text);
  EXPECT_EQ(mcu_count, 1024);
  EXPECT_STREQ(mcu_table[1023].chip_name, "c1023");
}

TEST(ConfigTable, ALineOver1023CharactersIsReadInPieces) {
  // The first piece is 1023 blanks; the rest of the line becomes a line of its own.
  read_table_from(std::string(1023, ' ') + "MCU 1 x = 4710 \\w\\a.bin end\n");
  ASSERT_EQ(mcu_count, 1);
  EXPECT_STREQ(mcu_table[0].chip_name, "4710");
}

TEST(ConfigTable, RereadingClearsTheTable) {
  read_table_from("MCU 1 x = 4710 \\w\\a.bin end\nMCU 1 x = 4711 \\w\\a.bin end\n");
  read_table_from("MCU 2 x = 4712 \\w\\b.bin end\n");
  EXPECT_EQ(mcu_count, 1);
  EXPECT_EQ(row_text(1), "||");
}

TEST(SelectMcu, TakesTheFirstMatchingRowAndReadsTheTypeAsHex) {
  read_table_from(
      "MCU A x = 4710 \\w\\first.bin end\n"
      "MCU 2 x = 4710 \\w\\second.bin end\n"
      "MCU 0x3 x = 4715 \\w\\c.bin end\n");
  int32_t type = -1;
  ASSERT_TRUE(select_mcu("4710", &type));
  EXPECT_EQ(type, 10);
  EXPECT_STREQ(writer_path, "\\w\\first.bin");
  ASSERT_TRUE(select_mcu("4715", &type));
  EXPECT_EQ(type, 3);
  EXPECT_STREQ(writer_path, "\\w\\c.bin");
}

TEST(SelectMcu, SearchesOnlyTheFirst256RowsAndClearsTheWriterPath) {
  std::string text;
  for (int i = 1; i <= 300; ++i) text += "MCU 1 x = c" + std::to_string(i) + " \\w\\a.bin end\n";
  read_table_from(text);
  int32_t type = -1;
  EXPECT_TRUE(select_mcu("c256", &type));
  type = -1;
  EXPECT_FALSE(select_mcu("c257", &type));
  EXPECT_EQ(type, -1);
  EXPECT_STREQ(writer_path, "");
  EXPECT_FALSE(select_mcu("4710", &type));
}

// Through the entry: what config.ini and argument 1 decide before any grammar runs.
using Entry = CliTest;

TEST_F(Entry, TooFewArgumentsAreRefusedWithExitCodeZero) {
  cli_result result = run("");
  EXPECT_EQ(result.out, " [0]:invaild cmd! \t\n");
  EXPECT_EQ(result.exit_code, 0);
}

TEST_F(Entry, HelpNeedsNoConfigAndIgnoresWhatFollows) {
  std::remove((dir_ + "/config.ini").c_str());
  cli_result result = run("help wf 0 -u");
  EXPECT_EQ(result.out.substr(0, 4), "\n\n* ");
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_TRUE(result.calls.empty());
}

TEST_F(Entry, AMissingConfigStopsEveryOtherCommand) {
  std::remove((dir_ + "/config.ini").c_str());
  for (const char *words : {"4715 rst -u", "8 5 0 1 1", "4715"}) {
    cli_result result = run(words);
    EXPECT_EQ(result.out, " [1]:Fail to open file! \t\n") << words;
    EXPECT_EQ(result.exit_code, 0);
    EXPECT_TRUE(result.calls.empty());
  }
}

TEST_F(Entry, AnUnknownChipIsRefusedBeforeAnyArgumentCheck) {
  expect_refused(run("9999 wf"), " [200]: chip 9999 not found in config.ini! \t\n");
  // Lower case differs, and a config.ini without rows knows no chip.
  EXPECT_EQ(run("4715 ini").exit_code, 0);
  write_config("[MCU]\n");
  EXPECT_EQ(run("4715 ini").exit_code, 1);
}

TEST_F(Entry, TheSelectedRowGivesTypeAndWriterPath) {
  recorded_call call = only_call(run("4716 rst -u"));
  EXPECT_EQ(call.name, "reset_mcu");
  EXPECT_EQ(call.values, (std::vector<int64_t>{1, 4}));
  EXPECT_EQ(call.writer_path, "\\writer\\zk4716.bin");
}

TEST_F(Entry, WithoutACommandWordTheLineIsNumeric) {
  cli_result result = run("0 xx");
  EXPECT_EQ(result.out, " [31]: invalid cmd\n");
  EXPECT_EQ(run("xyz wf0").out, " [31]: invalid cmd\n");
  EXPECT_EQ(run("-s").out, " [31]: invalid cmd\n");
  // Command words are case-sensitive whole words.
  EXPECT_EQ(run("4715 RST -u").calls.size(), 0u);
  // A chip name read as hex: code 0x15 does nothing, silently.
  result = run("4715 xx");
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_TRUE(result.calls.empty());
  // Only argument 1 and no argument 2: a numeric command with its own count check.
  EXPECT_EQ(run("1").out, " [57]: invalid download cmd! \t\n");
  EXPECT_EQ(run("4715").out, "");
}

TEST_F(Entry, OnlyTheLowEightBitsOfTheCommandCodeCount) {
  EXPECT_EQ(run("101 1 0 1 1 image.bin").calls.size(), 1u);
  cli_result result = run("100 1 0 1 1 image.bin");
  EXPECT_EQ(result.out, "");
  EXPECT_TRUE(result.calls.empty());
  EXPECT_EQ(run("f 5 0 1 1").out, "");
  EXPECT_EQ(run("ff 5 0 1 1").out, "");
}

// A folder named config.ini is no configuration: chip names are not looked up at all.
TEST_F(Entry, ConfigIniThatIsAFolderCannotBeOpened) {
  std::remove((dir_ + "/config.ini").c_str());
  ASSERT_EQ(mkdir((dir_ + "/config.ini").c_str(), 0700), 0);
  cli_result result = run("4715 ini");
  rmdir((dir_ + "/config.ini").c_str());
  expect_refused(result, " [1]:Fail to open file! \t\n", 0);
}

// "\config.ini" and its terminator take 12 of the 260 characters: a folder of 248 is the
// longest that still finds its config.ini, one of 249 counts as having none.
TEST_F(Entry, ProgramDirectoryLengthLimitOfTheConfigPath) {
  const struct {
    std::size_t length;
    const char *out;
  } rows[] = {{248, ""}, {249, " [1]:Fail to open file! \t\n"}};
  for (const auto &row : rows) {
    std::string deep = dir_ + "/" + std::string(row.length - dir_.size() - 1, 'd');
    ASSERT_EQ(deep.size(), row.length);
    ASSERT_EQ(mkdir(deep.c_str(), 0700), 0);
    std::FILE *config = std::fopen((deep + "/config.ini").c_str(), "wb");
    ASSERT_NE(config, nullptr);
    std::fputs(kStandardConfig, config);
    std::fclose(config);
    char program[] = "Orvane", chip[] = "4715", word[] = "ini";
    char *words[] = {program, chip, word, nullptr};
    ::testing::internal::CaptureStdout();
    int exit_code = orvane_main_in(deep.c_str(), 3, words);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), row.out) << row.length;
    EXPECT_EQ(exit_code, 0);
    std::remove((deep + "/config.ini").c_str());
    rmdir(deep.c_str());
  }
}
