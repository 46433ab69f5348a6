// SPDX-License-Identifier: Apache-2.0
// The character grammar: counts, the commands without memory values, the option scan over
// all arguments.
#include <gtest/gtest.h>

#include <string>

#include "tests/cli/cli_fixture.h"

using CharacterGrammar = CliTest;
using values = std::vector<int64_t>;

TEST_F(CharacterGrammar, EveryCommandRefusesAnArgumentCountOutsideItsRange) {
  struct refusal {
    const char *words;
    const char *message;
  };
  const refusal cases[] = {
      {"4715 pc -u", " [2]: pc cmd err!\n"},
      {"4715 pc -u -i a.lst x", " [2]: pc cmd err!\n"},
      {"4715 bkp", " [3]: bkp cmd err!\n"},
      {"4715 bkp 1 2 3 4 -u x", " [3]: bkp cmd err!\n"},
      {"4715 sws", " [3]: sws cmd err!\n"},
      {"4715 sws b0 10 b0 10 -u", " [3]: sws cmd err!\n"},
      {"4715 step -u x", " [4]: step cmd err!\n"},
      {"4715 stop -u x", " [5]: stop cmd err!\n"},
      {"4715 run -u x", " [6]: run cmd err!\n"},
      {"4715 rst -u x", " [7]: rst cmd err!\n"},
      {"4715 ac -u", " [8]: ac cmd err!\n"},
      {"4715 wf 0", " [9]: wf cmd err!\n"},
      {"4715 wf 0 0 -s 1 -u x y", " [9]: wf cmd err!\n"},
      {"4715 rf 0", " [14]: invalid rf cmd!\n"},
      {"4715 rf 0 -s 1 -u -o a.bin x", " [14]: invalid rf cmd!\n"},
      {"4715 wc 0 -s", " [17]: invalid wc cmd!\n"},
      {"4715 wc 0 0 -s 1 -u x", " [17]: invalid wc cmd!\n"},
      {"4715 rc 0", " [22]: invalid rc cmd!\n"},
      {"4715 rc 0 -s 1 -u -o a.bin x", " [22]: invalid rc cmd!\n"},
      {"4715 wa 0 -s", " [25]: invalid wa cmd!"},
      {"4715 wa 0 0 -s 1 -u x", " [25]: invalid wa cmd!"},
      {"4715 ra 0", " [28]: invalid ra cmd!\n"},
      {"4715 ra 0 -s 1 -u -o a.bin x", " [28]: invalid ra cmd!\n"},
  };
  for (const refusal &c : cases) {
    cli_result result = run(c.words);
    EXPECT_EQ(result.out, c.message) << c.words;
    EXPECT_EQ(result.exit_code, 1) << c.words;
    EXPECT_TRUE(result.calls.empty()) << c.words;
  }
}

TEST_F(CharacterGrammar, RunControlTakesUsbFromAMinusUAnywhere) {
  const char *words[] = {"step", "stop", "run", "rst"};
  const char *operations[] = {"step_mcu", "stop_mcu", "run_mcu", "reset_mcu"};
  for (int i = 0; i < 4; ++i) {
    cli_result result = run(std::string("4715 ") + words[i] + " -u");
    recorded_call call = only_call(result);
    EXPECT_EQ(call.name, operations[i]);
    EXPECT_EQ(call.values, (values{1, 3}));
    EXPECT_EQ(result.exit_code, 0);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(only_call(run(std::string("4710 ") + words[i])).values, (values{4, 1}));
    EXPECT_EQ(only_call(run(std::string("4710 ") + words[i] + " -U")).values, (values{4, 1}));
  }
}

TEST_F(CharacterGrammar, ActivationAlwaysGoesThroughTheProbe) {
  recorded_call call = only_call(run("4712 ac"));
  EXPECT_EQ(call.name, "activate_target");
  EXPECT_EQ(call.values, (values{4, 2}));
}

TEST_F(CharacterGrammar, BreakpointWordsComeFromArgumentsThreeToSix) {
  recorded_call call = only_call(run("4715 bkp 100 200 300 400 -u"));
  EXPECT_EQ(call.name, "set_breakpoints");
  EXPECT_EQ(call.values, (values{1, 3, 0x100, 0x200, 0x300, 0x400}));
  // A "-u" among the words reads as 0 and still selects usb; words not given stay zero.
  EXPECT_EQ(only_call(run("4715 bkp 100 -u")).values, (values{1, 3, 0x100, 0, 0, 0}));
  EXPECT_EQ(only_call(run("4715 bkp 100")).values, (values{4, 3, 0x100, 0, 0, 0}));
  EXPECT_EQ(only_call(run("4715 bkp -1 200 300")).values,
            (values{4, 3, 0xffffffff, 0x200, 0x300, 0}));
}

TEST_F(CharacterGrammar, SingleWireBytesAreTheLowEightBitsAndTakeNoMode) {
  recorded_call call = only_call(run("4715 sws b0 10 b0 10"));
  EXPECT_EQ(call.name, "setup_single_wire");
  EXPECT_EQ(call.values, (values{3, 0xb0, 0x10, 0xb0, 0x10}));
  EXPECT_EQ(only_call(run("4710 sws 1ff -u")).values, (values{1, 0xff, 0, 0, 0}));
}

TEST_F(CharacterGrammar, PcTakesTheListingAfterMinusI) {
  recorded_call call = only_call(run("4715 pc -i app.lst -u"));
  EXPECT_EQ(call.name, "show_pc_in_listing");
  EXPECT_EQ(call.values, (values{1, 3}));
  EXPECT_EQ(call.path, "app.lst");
  EXPECT_EQ(call.listing_path, "app.lst");
  // The last "-i" with a value wins; a trailing "-i" names nothing and is not read past.
  EXPECT_EQ(only_call(run("4715 pc -i a.lst -i")).path, "a.lst");
  call = only_call(run("4715 pc -u -i"));
  EXPECT_EQ(call.path, "");
  EXPECT_EQ(call.values, (values{1, 3}));
  EXPECT_EQ(only_call(run("4715 pc -i -u")).values, (values{1, 3}));
}

TEST_F(CharacterGrammar, AListingPathLongerThanItsBufferIsRefused) {
  std::string path_260(260, 'p');
  EXPECT_EQ(only_call(run_args({"4715", "pc", "-i", path_260})).path, path_260);
  expect_refused(run_args({"4715", "pc", "-i", path_260 + "p"}), " [201]: path too long! \t\n");
}

TEST_F(CharacterGrammar, IniOnlyReadsTheConfiguration) {
  cli_result result = run("4715 ini whatever -u -s 0 more words here and more");
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_TRUE(result.calls.empty());
}
