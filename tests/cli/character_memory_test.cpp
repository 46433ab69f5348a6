// SPDX-License-Identifier: Apache-2.0
// The character commands that read and write memory: forms, sizes, options and refusals.
#include <gtest/gtest.h>

#include <string>

#include "tests/cli/cli_fixture.h"

using CharacterMemory = CliTest;
using values = std::vector<int64_t>;

TEST_F(CharacterMemory, WfDownloadsWhenGivenAnImage) {
  recorded_call call = only_call(run("4715 wf 0 -i image.bin -u"));
  EXPECT_EQ(call.name, "download_image");
  EXPECT_EQ(call.values, (values{1, 3, 0, 1}));
  EXPECT_EQ(call.path, "image.bin");
  EXPECT_EQ(call.writer_path, "\\writer\\zk4715.bin");
  // The image wins over an erase count and a size.
  call = only_call(run("4710 wf 1000 -e 2 -i a.bin"));
  EXPECT_EQ(call.name, "download_image");
  EXPECT_EQ(call.values, (values{4, 1, 0x1000, 1}));
}

TEST_F(CharacterMemory, WfImagePathsShorterThanFiveCharactersAreRefused) {
  expect_refused(run("4715 wf 0 -i a.bi -u"), " [11]: invalid file path of wf!\n");
  expect_refused(run("4715 wf 0 -u -i"), " [11]: invalid file path of wf!\n");
  EXPECT_EQ(only_call(run("4715 wf 0 -i a.bin")).path, "a.bin");
}

TEST_F(CharacterMemory, WfErasesByAHexSectorCount) {
  recorded_call call = only_call(run("4715 wf 0 -e 512k -u"));
  EXPECT_EQ(call.name, "erase_flash");
  EXPECT_EQ(call.values, (values{1, 3, 0, 0x512}));
  expect_refused(run("4715 wf 0 -s 1 -e"), " [12]: invalid erase size of wf!\n");
  // An erase count of 0 falls through to the write form.
  EXPECT_EQ(only_call(run("4715 wf 0 -e 0 -s 1")).name, "access_flash");
}

// The sectors must end within the writer's 32-bit address: "-1" would be 0xffffffff sectors.
TEST_F(CharacterMemory, EraseRangePastTheWritersAddressIsRefusedInBothGrammars) {
  expect_refused(run("4710 wf 0 -e -1 -u"), " [220]: invalid erase range of wf! \t\n");
  expect_refused(run("4710 wf 2000 -e fffff -u"), " [220]: invalid erase range of wf! \t\n");
  expect_refused(run("2 1 0 1 1 -1"), " [221]: invalid erase range! \t\n", 0);
  // The longest ranges that fit, ending at 0xffffffff.
  EXPECT_EQ(only_call(run("4710 wf 1000 -e fffff -u")).values, (values{1, 1, 0x1000, 0xfffff}));
  EXPECT_EQ(only_call(run("2 1 0 1 1 100000")).values, (values{1, 1, 0, 0x100000}));
}

// A typed value that does not fit reads as 0 by the number rule; acting on 0 would erase or
// write the boot sector, so such a line is refused before anything is sent.  "-1" still fits.
TEST_F(CharacterMemory, HexValuesTooLargeFor32BitsAreRefusedInBothGrammars) {
  const struct {
    const char *line, *value;
  } refused[] = {
      {"4710 wf 80000000 -e 1 -u", "80000000"},   {"4710 wf 0 -e 100000000 -u", "100000000"},
      {"4710 wf 123456789 -i a.bin -u", "123456789"}, {"4710 wf 0 1ffffffff -s 4", "1ffffffff"},
      {"4710 rf 80000000 -s 4", "80000000"},     {"4710 wc 8000 ffffffff -s 4", "ffffffff"},
      {"4710 rc 800000000 -s 4", "800000000"},   {"4710 wa 80000000 0 -s 1", "80000000"},
      {"4710 ra 80000000 -s 1", "80000000"},     {"4710 bkp 100 80000000", "80000000"},
      {"1 1 80000000 1 1 a.bin", "80000000"},    {"2 1 0 1 1 80000000", "80000000"},
      {"5 1 0 1 1 100000000", "100000000"},      {"6 2 8000 1 1 4 ffffffff", "ffffffff"},
      {"c 5 0 1 1 0 0 0 -80000001", "-80000001"},
  };
  for (const auto &c : refused) {
    cli_result result = run(c.line);
    const char *number = result.out.find(" [260]") == 0 ? " [260]" : " [261]";
    EXPECT_EQ(result.out, std::string(number) + ": number too large: " + c.value +
                              " (at most 7fffffff) \t\n")
        << c.line;
    EXPECT_EQ(result.exit_code, 1) << c.line;
    EXPECT_TRUE(result.calls.empty()) << c.line;
  }
  EXPECT_EQ(only_call(run("4710 bkp -1")).values, (values{4, 1, 0xffffffff, 0, 0, 0}));
  EXPECT_EQ(only_call(run("4710 wf 7fffffff -e 1 -u")).values, (values{1, 1, 0x7fffffff, 1}));
}

TEST_F(CharacterMemory, WfWritesDataWithAPlainSize) {
  recorded_call call = only_call(run("4715 wf 0 00 -s 1 -u"));
  EXPECT_EQ(call.name, "access_flash");
  EXPECT_EQ(call.values, (values{1, 3, 0, 1, 0, 6}));
  // Writes take no unit: "1k" is 1.  The data word is argument 4 as hex.
  EXPECT_EQ(only_call(run("4715 wf 20 a5b6 -s 1k")).values, (values{4, 3, 0x20, 1, 0xa5b6, 6}));
  // The last "-s" wins.
  EXPECT_EQ(only_call(run("4715 wf 0 -s 2 -s 3")).values[3], 3);
}

TEST_F(CharacterMemory, WfRefusesMissingOrZeroSizes) {
  expect_refused(run("4715 wf 0 00 -s"), " [10]: invalid length of wf!\n");
  expect_refused(run("4715 wf 0 00 -s 0x10"), " [10]: invalid length of wf!\n");
  // The value after "-s" is re-scanned: "-u" reads as size 0.
  expect_refused(run("4715 wf 0 -s -u"), " [10]: invalid length of wf!\n");
  expect_refused(run("4715 wf 0 00 -u"), " [13]: invalid wf cmd!\n");
  // Options of other commands are plain words here.
  expect_refused(run("4715 wf 0 -o a.bin"), " [13]: invalid wf cmd!\n");
}

TEST_F(CharacterMemory, RfReadsWithAUnitSizeIntoTheOutputFile) {
  recorded_call call = only_call(run("4715 rf 0 -s 12k -u -o out.bin"));
  EXPECT_EQ(call.name, "access_flash");
  EXPECT_EQ(call.values, (values{1, 3, 0, 12288, 0, 5}));
  EXPECT_EQ(call.output_path, "out.bin");
  EXPECT_EQ(call.output_path_set, 1);

  EXPECT_EQ(only_call(run("4715 rf 0 -s 2M")).values[3], 2097152);
  EXPECT_EQ(only_call(run("4715 rf 0 -s 12kb")).values[3], 12);
  EXPECT_EQ(only_call(run("4715 rf 0 -s 3K")).values[3], 3072);
  call = only_call(run("4715 rf 100 -s 16"));
  EXPECT_EQ(call.values, (values{4, 3, 0x100, 16, 0, 5}));
  EXPECT_EQ(call.output_path_set, 0);
}

TEST_F(CharacterMemory, RfSizeRefusals) {
  expect_refused(run("4715 rf 0 -s 0x10"), " [15]: invalid length of rf!\n");
  expect_refused(run("4715 rf 0 -s -u"), " [15]: invalid length of rf!\n");
  expect_refused(run("4715 rf 0 -u -s"), " [15]: invalid length of rf!\n");
  // 4096 MB wraps to 0.
  expect_refused(run("4715 rf 0 -s 4096M"), " [16]: invalid rf cmd!\n");
  expect_refused(run("4715 rf 0 -u -o a.bin"), " [16]: invalid rf cmd!\n");
  expect_refused(run("4715 rf 0 -i a.bin"), " [16]: invalid rf cmd!\n");
}

TEST_F(CharacterMemory, ATrailingMinusONamesNoFile) {
  recorded_call call = only_call(run("4715 rf 0 -s 4 -o"));
  EXPECT_EQ(call.output_path_set, 0);
  EXPECT_EQ(call.output_path, "");
  call = only_call(run("4715 ra b8 -o x.bin -s 1 -o"));
  EXPECT_EQ(call.output_path, "x.bin");
  EXPECT_EQ(call.output_path_set, 1);
}

TEST_F(CharacterMemory, AnOutputPathLongerThanItsBufferIsRefused) {
  std::string path_261(261, 'o');
  cli_result result = run_args({"4715", "rc", "8000", "-s", "4", "-o", path_261});
  expect_refused(result, " [201]: path too long! \t\n");
  EXPECT_EQ(only_call(run_args({"4715", "rc", "8000", "-s", "4", "-o", path_261.substr(1)}))
                .output_path.size(),
            260u);
}

TEST_F(CharacterMemory, WcScansFromArgumentFive) {
  // "-i" at argument 4 is the unused word of the download form, not an option.
  expect_refused(run("4710 wc 8000 -i image.bin -u"), " [21]: invalid wc cmd!\n");
  recorded_call call = only_call(run("4710 wc 8000 x -i image.bin -u"));
  EXPECT_EQ(call.name, "download_image");
  EXPECT_EQ(call.values, (values{1, 1, 0x8000, 2}));
  EXPECT_EQ(call.path, "image.bin");
  // No length test on this path.
  EXPECT_EQ(only_call(run("4710 wc 8000 x -i a")).path, "a");
}

TEST_F(CharacterMemory, WcDownloadsOnlyAboveTheSramLimit) {
  expect_refused(run("4710 wc 4000 x -i image.bin"),
                 " [20]: invalid sram download address of wc!\n", 0);
  expect_refused(run("4715 wc 3ffff x -i image.bin"),
                 " [20]: invalid sram download address of wc!\n", 0);
  EXPECT_EQ(only_call(run("4715 wc 40000 x -i image.bin")).values, (values{4, 3, 0x40000, 2}));
  expect_refused(run("4715 wc 40000 x -u -i"), " [18]: invalid path of wc!\n");
}

TEST_F(CharacterMemory, WcWritesRegistersBelowTheLimitAndSramFromIt) {
  recorded_call call = only_call(run("4710 wc 7fff 12 -s 1 -u"));
  EXPECT_EQ(call.name, "access_digital_register");
  EXPECT_EQ(call.values, (values{1, 1, 0x7fff, 1, 0x12, 6}));
  call = only_call(run("4710 wc 8000 12345678 -s 4"));
  EXPECT_EQ(call.name, "access_sram");
  EXPECT_EQ(call.values, (values{4, 1, 0x8000, 4, 0x12345678, 6}));
  EXPECT_EQ(only_call(run("4716 wc 8000 1 -s 1")).name, "access_digital_register");
  expect_refused(run("4710 wc 8000 1 -s 0"), " [19]: invalid length of wc!\n");
  expect_refused(run("4710 wc 8000 1 -e 1"), " [21]: invalid wc cmd!\n");
}

TEST_F(CharacterMemory, RcPicksRegistersOrSramByAddress) {
  recorded_call call = only_call(run("4710 rc 7fff -s 1 -u"));
  EXPECT_EQ(call.name, "access_digital_register");
  EXPECT_EQ(call.values, (values{1, 1, 0x7fff, 1, 0, 5}));
  call = only_call(run("4710 rc 8000 -s 1k -o dump.bin"));
  EXPECT_EQ(call.name, "access_sram");
  EXPECT_EQ(call.values, (values{4, 1, 0x8000, 1024, 0, 5}));
  EXPECT_EQ(call.output_path, "dump.bin");
  EXPECT_EQ(only_call(run("4715 rc 3ffff -s 1")).name, "access_digital_register");
  expect_refused(run("4710 rc 0 -s x"), " [23]: invalid length of rc!\n");
  expect_refused(run("4710 rc 0 -u x"), " [24]: invalid rc cmd!");
}

TEST_F(CharacterMemory, WaWritesAnalogRegistersWithAPlainSize) {
  recorded_call call = only_call(run("4715 wa b8 5a -s 1 -u"));
  EXPECT_EQ(call.name, "access_analog_register");
  EXPECT_EQ(call.values, (values{1, 3, 0xb8, 1, 0x5a, 6}));
  expect_refused(run("4715 wa b8 5a -u -s"), " [26]: invalid length of wa!\n");
  expect_refused(run("4715 wa b8 5a -u x"), " [27]: invalid wa cmd!\n");
}

TEST_F(CharacterMemory, RaReadsAnalogRegisters) {
  recorded_call call = only_call(run("4712 ra b8 -s 2 -u"));
  EXPECT_EQ(call.name, "access_analog_register");
  EXPECT_EQ(call.values, (values{1, 2, 0xb8, 2, 0, 5}));
  expect_refused(run("4712 ra b8 -s 0"), " [29]: invalid length of ra!\n");
  expect_refused(run("4712 ra b8 -o a.bin"), " [30]: invalid ra cmd!\n");
}
