// SPDX-License-Identifier: Apache-2.0
// The read-back output on its own: the dump layout and the saved file, without a device.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "support/scratch_files.h"

#include "base/state.h"
#include "engine/engine.h"

namespace {

namespace fs = std::filesystem;

using scratch_files::read_file;

class ReadOutput : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = scratch_files::make_temp_dir("engine-output");
    ASSERT_FALSE(dir_.empty());
    std::memset(output_path, 0, sizeof output_path);
    output_path_set = 0;
    for (uint32_t i = 0; i < 4096; ++i) read_buffer[i] = static_cast<unsigned char>(i * 7 + 1);
  }
  void TearDown() override {
    output_path_set = 0;
    scratch_files::remove_tree(dir_);
  }
  void use_output(const std::string &path) {
    std::snprintf(output_path, sizeof output_path, "%s", path.c_str());
    output_path_set = 1;
  }
  std::string run(uint32_t size, uint32_t start) {
    ::testing::internal::CaptureStdout();
    ended_ = output_read_data(size, start);
    return ::testing::internal::GetCapturedStdout();
  }
  std::string dir_;
  outcome ended_ = kDone;
};

TEST_F(ReadOutput, DumpsSixteenBytesPerLineWithAGapAfterEight) {
  for (int i = 0; i < 20; ++i) read_buffer[i] = static_cast<unsigned char>(i);
  EXPECT_EQ(run(20, 0x8000),
            "\n 008000:  00 01 02 03 04 05 06 07  08 09 0a 0b 0c 0d 0e 0f "
            "\n 008010:  10 11 12 13 ");
}

TEST_F(ReadOutput, DumpLabelsGrowPastSixDigits) {
  read_buffer[0] = 0xab;
  EXPECT_EQ(run(1, 0x1234567), "\n 1234567:  ab ");
}

TEST_F(ReadOutput, NothingToShowForAnEmptyRead) { EXPECT_EQ(run(0, 0), ""); }

TEST_F(ReadOutput, OutputFileTakesEvenOneByte) {
  use_output(dir_ + "/one.bin");
  EXPECT_EQ(run(1, 0), "\n All 1 bytes have been saved! \t\n");
  EXPECT_EQ(ended_, kDone);
  EXPECT_EQ(read_file(dir_ + "/one.bin"), std::string(1, '\x01'));
}

TEST_F(ReadOutput, EmptyReadWithOutputFileCreatesAnEmptyFile) {
  use_output(dir_ + "/empty.bin");
  EXPECT_EQ(run(0, 0), "\n All 0 bytes have been saved! \t\n");
  ASSERT_TRUE(fs::exists(dir_ + "/empty.bin"));
  EXPECT_EQ(read_file(dir_ + "/empty.bin"), "");
}

TEST_F(ReadOutput, SavedFileHoldsExactlyTheBytesRead) {
  // Whole blocks with no remainder, and whole blocks plus a remainder.
  for (uint32_t size : {2048u, 3000u}) {
    use_output(dir_ + "/data.bin");
    EXPECT_EQ(run(size, 0), "\n All " + std::to_string(size) + " bytes have been saved! \t\n");
    EXPECT_EQ(read_file(dir_ + "/data.bin"),
              std::string(reinterpret_cast<const char *>(read_buffer), size));
  }
}

TEST_F(ReadOutput, OutputFileThatCannotBeCreatedIsReported) {
  use_output(dir_ + "/no/such/folder/out.bin");
  EXPECT_EQ(run(16, 0), " [74]:create file err! \t\n");
  EXPECT_EQ(ended_, msg::create_file_err_74);
}

TEST_F(ReadOutput, FullDiskIsReportedNotCountedAsSaved) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full on this system";
  // Small writes only reach the device when the buffer is flushed.
  for (uint32_t size : {1u, 2048u, 70000u}) {
    use_output("/dev/full");
    EXPECT_EQ(run(size, 0), "\n Write File err! \t\t\t\n") << size;
    EXPECT_EQ(ended_, msg::save_write_error) << size;
  }
}

}  // namespace
