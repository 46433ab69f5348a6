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

TEST(WaitMs, WaitsAtLeastTheGivenTimeAndZeroReturnsAtOnce) {
  uint32_t start = clock_ms();
  wait_ms(0);
  EXPECT_LT(static_cast<uint32_t>(clock_ms() - start), 5u);
  start = clock_ms();
  wait_ms(30);
  uint32_t elapsed = clock_ms() - start;
  EXPECT_GE(elapsed, 30u);
  EXPECT_LT(elapsed, 1000u);
}

TEST(Platform, SleepLastsAboutTheGivenTime) {
  uint32_t start = clock_ms();
  sleep_ms(25);
  uint32_t elapsed = clock_ms() - start;
  EXPECT_GE(elapsed, 24u);
  EXPECT_LT(elapsed, 1000u);
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
