// SPDX-License-Identifier: Apache-2.0
// The console printer, the millisecond wait and the POSIX platform layer.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "base/console.h"
#include "base/platform.h"

namespace {

// A test clock that moves only when the wait sleeps: each sleep moves it by the next step
// (the last one repeats), whatever it was asked for, so early, late and spurious wake-ups
// all occur; the milliseconds asked for are recorded.
uint32_t now = 0;
std::vector<uint32_t> steps;
std::vector<uint32_t> asked;
uint32_t test_clock() { return now; }
void test_sleep(uint32_t milliseconds) {
  asked.push_back(milliseconds);
  now += steps[asked.size() <= steps.size() ? asked.size() - 1 : steps.size() - 1];
}

}  // namespace

// The wait's contract on a test clock: it ends once the clock has advanced by at least the
// count, never earlier, across a wrap of the 32-bit clock; it sleeps only for what is left.
TEST(WaitMs, EndsOnceTheClockHasAdvancedByTheCountAndSleepsOnlyForWhatIsLeft) {
  struct Case {
    uint32_t start, count;
    std::vector<uint32_t> steps;
    uint32_t end;                // the clock when the wait returns
    std::vector<uint32_t> asked;  // the sleeps asked for
  };
  const Case cases[] = {
      {1000, 0, {1}, 1000, {}},                           // zero: no sleep at all
      {1000, 1, {1}, 1001, {1}},                          // on time
      {0xfffffffeu, 5, {5}, 3, {5}},                      // across the wrap
      {0xfffffff0u, 40, {0, 7, 0, 50}, 0x29, {40, 40, 33, 33}},  // early and spurious wake-ups
      {0xffffffffu, 2, {3}, 2, {2}},                      // late: done all the same
  };
  override_clock(test_clock, test_sleep);
  for (const Case &c : cases) {
    now = c.start;
    steps = c.steps;
    asked.clear();
    wait_ms(c.count);
    EXPECT_EQ(now, c.end) << c.start << " + " << c.count;
    EXPECT_EQ(asked, c.asked) << c.start << " + " << c.count;
  }
  asked.clear();
  sleep_ms(25);
  EXPECT_EQ(asked, std::vector<uint32_t>{25});
  override_clock(nullptr, nullptr);
}

TEST(Platform, SleepUntilTheClockNeverWakesBeforeItAndIgnoresAPastDeadline) {
  // Short deadlines, many times: a wake-up a millisecond early shows on almost every one of
  // them, however busy the machine, where one long wait may hide it behind a late wake-up.
  int early = 0;
  for (uint32_t ahead : {1u, 2u, 1u, 2u, 1u, 2u, 1u, 2u, 1u, 2u, 1u, 2u, 20u}) {
    uint32_t deadline = clock_ms() + ahead;
    sleep_until_clock_ms(deadline);
    if (static_cast<uint32_t>(clock_ms() - deadline) >= 0x80000000u) ++early;
  }
  EXPECT_EQ(early, 0) << "woke too early";
  // Long past: returns at once rather than sleeping for 2^32 - 1000 ms.
  sleep_until_clock_ms(clock_ms() - 1000);
}

TEST(Platform, RealWaitAndSleepLastAtLeastTheirTime) {
  uint32_t start = clock_ms();
  wait_ms(30);
  EXPECT_GE(static_cast<uint32_t>(clock_ms() - start), 30u);
  start = clock_ms();
  sleep_ms(25);
  EXPECT_GE(static_cast<uint32_t>(clock_ms() - start), 24u);
}

TEST(Platform, ProgramDirectoryIsTheResolvedExecutablesFolder) {
  char *real = realpath("/proc/self/exe", nullptr);
  ASSERT_NE(real, nullptr);
  std::string full(real);
  std::free(real);
  std::string expected = full.substr(0, full.rfind('/'));

  char directory[PATH_MAX];
  ASSERT_TRUE(program_directory(directory, sizeof directory));
  EXPECT_EQ(directory, expected);

  char path[PATH_MAX];
  EXPECT_EQ(program_path(path, sizeof path), full.size());
  EXPECT_EQ(path, full);
  // Too small a buffer is refused, never overrun.
  char tiny[4];
  EXPECT_FALSE(program_directory(tiny, sizeof tiny));
  EXPECT_EQ(program_path(tiny, sizeof tiny), 0u);

  // A replaced path (a run in-process) names its own directory, under the same limits.
  override_program_path("/opt/orvane/Orvane");
  ASSERT_TRUE(program_directory(directory, sizeof directory));
  EXPECT_STREQ(directory, "/opt/orvane");
  EXPECT_EQ(program_path(tiny, sizeof tiny), 0u);
  override_program_path(nullptr);
  EXPECT_EQ(program_path(path, sizeof path), full.size());
}

TEST(Platform, OpenNativeTakesBackslashesAsSeparators) {
  char pattern[] = "/tmp/orvane-native-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  std::string dir = pattern;
  std::string sub = dir + "/writer";
  ASSERT_EQ(mkdir(sub.c_str(), 0700), 0);
  std::FILE *file = std::fopen((sub + "/zk4710.bin").c_str(), "wb");
  ASSERT_NE(file, nullptr);
  std::fputs("image", file);
  std::fclose(file);

  std::FILE *opened = open_native((dir + "\\writer\\zk4710.bin").c_str(), "rb");
  ASSERT_NE(opened, nullptr);
  char text[8] = {};
  EXPECT_EQ(std::fread(text, 1, sizeof text, opened), 5u);
  EXPECT_STREQ(text, "image");
  std::fclose(opened);

  EXPECT_EQ(open_native((dir + "\\writer\\missing.bin").c_str(), "rb"), nullptr);
  std::string too_long(PATH_MAX + 10, 'a');
  EXPECT_EQ(open_native(too_long.c_str(), "rb"), nullptr);

  std::remove((sub + "/zk4710.bin").c_str());
  rmdir(sub.c_str());
  rmdir(dir.c_str());
}

TEST(PrintMessage, FormatsLikePrintf) {
  ::testing::internal::CaptureStdout();
  int written = print_message(" [%d]: %s %.6x \t\n", 137, "no usb device!", 0x4000);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), " [137]: no usb device! 004000 \t\n");
  EXPECT_EQ(written, 32);
}
