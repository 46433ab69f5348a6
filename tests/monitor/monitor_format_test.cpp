// SPDX-License-Identifier: Apache-2.0
// The monitor's pieces that see the stream in arbitrary pieces: the text search behind
// --until, and the formatter behind --timestamps, --hex and --log.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "monitor_options.h"
#include "monitor_output.h"
#include "text_match.h"

namespace {

struct MatchCase {
  const char *text;
  std::vector<std::string> pieces;
  long ends_at;  // index in the whole stream just after the match, -1: none
};

TEST(TextMatch, FindsTheTextWhereverTheReadsSplitIt) {
  const MatchCase cases[] = {
      {"END", {"abcENDxyz"}, 6},
      {"END", {"abcE", "N", "Dxyz"}, 6},
      {"aab", {"aa", "ab"}, 4},          // a failed partial match falls back, not to zero
      {"abab", {"ababa", "b"}, 4},
      {"abac", {"abab", "ac"}, 6},
      {"END", {"EN", "xD", "END"}, 7},
      {"END", {"E", "N", "d"}, -1},
      {"\n", {"", "x\n"}, 2},
  };
  for (const MatchCase &c : cases) {
    static text_match match;
    ASSERT_TRUE(text_match_start(&match, c.text));
    long seen = 0;
    long ends_at = -1;
    for (const std::string &piece : c.pieces) {
      size_t through = text_match_feed(
          &match, reinterpret_cast<const unsigned char *>(piece.data()), piece.size());
      if (through > 0) {
        ends_at = seen + long(through);
        break;
      }
      seen += long(piece.size());
    }
    EXPECT_EQ(c.ends_at, ends_at) << c.text;
  }
}

void fixed_time(char *text, size_t size) { snprintf(text, size, "[T] "); }

std::string read_back(FILE *file) {
  std::string text;
  rewind(file);
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, n);
  return text;
}

struct FormatCase {
  bool hex, timestamps;
  std::vector<std::string> pieces;
  std::string shown;
};

TEST(MonitorOutput, FormatsAcrossReadsAndLogsTheSame) {
  const FormatCase cases[] = {
      {false, false, {"ab", "c\n\x01"}, "abc\n\x01"},
      // The prefix belongs to a line's first byte, however the reads fall.
      {false, true, {"one\ntw", "o\n", "\nthree"}, "[T] one\n[T] two\n[T] \n[T] three"},
      {true, false, {"0123456789", "abcdefXY"},
       "00000000  30 31 32 33 34 35 36 37  38 39 61 62 63 64 65 66  |0123456789abcdef|\n"
       "00000010  58 59                                             |XY|\n"},
      {true, true, {std::string("\x00\x7f~", 3)},
       "[T] 00000000  00 7f 7e                                          |..~|\n"},
  };
  for (const FormatCase &c : cases) {
    FILE *out = tmpfile();
    FILE *log = tmpfile();
    ASSERT_TRUE(out != nullptr && log != nullptr);
    monitor_output output;
    output.out = out;
    output.log = log;
    output.hex = c.hex;
    output.timestamps = c.timestamps;
    output.time_prefix = fixed_time;
    for (const std::string &piece : c.pieces) {
      ASSERT_TRUE(output_bytes(&output, reinterpret_cast<const unsigned char *>(piece.data()),
                               piece.size()));
    }
    ASSERT_TRUE(output_finish(&output));
    EXPECT_EQ(c.shown, read_back(out)) << "hex " << c.hex << " timestamps " << c.timestamps;
    EXPECT_EQ(c.shown, read_back(log));
    fclose(out);
    fclose(log);
  }
}

TEST(MonitorOptions, RefusesWhatCannotBeUsed) {
  struct Case {
    std::vector<const char *> args;
    bool accepted;
    uint64_t exit_after_ms;
  };
  const Case cases[] = {
      {{"--exit-after", "2.5", "--hex", "--until=ok"}, true, 2500},
      {{"--exit-after=0"}, true, 0},
      {{"--exit-after", "-1"}, false, 0},
      {{"--exit-after", "1e3"}, false, 0},
      {{"--exit-after", "0.0001"}, false, 0},
      {{"--exit-after", "99999999999999999999"}, false, 0},
      {{"--exit-after"}, false, 0},
      {{"--log"}, false, 0},
      {{"--until", ""}, false, 0},
      {{"--colour"}, false, 0},
  };
  for (const Case &c : cases) {
    std::vector<char *> argv = {const_cast<char *>("orvane-monitor")};
    for (const char *a : c.args) argv.push_back(const_cast<char *>(a));
    monitor_options options;
    char error[256] = "";
    bool accepted = parse_monitor_options(int(argv.size()), argv.data(), &options, error,
                                          sizeof error);
    EXPECT_EQ(c.accepted, accepted) << c.args[0] << " " << error;
    if (accepted) {
      EXPECT_EQ(c.exit_after_ms, options.exit_after_ms);
    } else {
      EXPECT_NE('\0', error[0]);
    }
  }
}

}  // namespace
