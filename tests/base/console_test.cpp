// The console printer, the busy wait and the POSIX platform layer.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/console.h"
#include "base/platform.h"

namespace {

uint32_t clock_reads = 0;
uint32_t counting_clock() { return ++clock_reads; }
uint32_t slept = 0;
void counting_sleep(uint32_t milliseconds) { slept += milliseconds; }

}  // namespace

TEST(WaitMs, BusyWaitsOnTheReplaceableClockUntilTheTimeHasPassed) {
  override_clock(counting_clock, counting_sleep);
  // The start, then reads until count milliseconds have passed (zero: one look).
  const struct {
    uint32_t count, reads;
  } cases[] = {{0, 2}, {1, 2}, {30, 31}};
  for (const auto &c : cases) {
    clock_reads = 0;
    wait_ms(c.count);
    EXPECT_EQ(clock_reads, c.reads) << c.count;
  }
  // Near the wrap of the 32-bit clock the difference still counts.
  clock_reads = 0xfffffff0u;
  wait_ms(40);
  EXPECT_EQ(clock_reads, 0xfffffff0u + 41);
  sleep_ms(25);
  EXPECT_EQ(slept, 25u);
  override_clock(nullptr, nullptr);
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
