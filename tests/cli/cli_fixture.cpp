// SPDX-License-Identifier: Apache-2.0
// The grammar test fixture.
#include "tests/cli/cli_fixture.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "base/state.h"
#include "cli/entry.h"

const char kStandardConfig[] =
    "[MCU]\r\n"
    "MCU 1 zk32 = 4710 \\writer\\zk4710.bin end\r\n"
    "MCU 2 zk32 = 4712 \\writer\\zk4712.bin end\r\n"
    "MCU 3 zk32 = 4715 \\writer\\zk4715.bin end\r\n"
    "MCU 4 zk32 = 4716 \\writer\\zk4716.bin end\r\n";

void CliTest::SetUp() {
  char pattern[] = "/tmp/orvane-cli-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  dir_ = pattern;
  write_config(kStandardConfig);
}

void CliTest::TearDown() {
  std::remove((dir_ + "/config.ini").c_str());
  std::remove(dir_.c_str());
}

void CliTest::write_config(const std::string &content) {
  std::FILE *file = std::fopen((dir_ + "/config.ini").c_str(), "wb");
  ASSERT_NE(file, nullptr);
  std::fwrite(content.data(), 1, content.size(), file);
  std::fclose(file);
}

cli_result CliTest::run(const std::string &words) {
  std::vector<std::string> args;
  std::istringstream stream(words);
  for (std::string word; stream >> word;) args.push_back(word);
  return run_args(args);
}

cli_result CliTest::run_args(const std::vector<std::string> &args) {
  // Every run starts from a fresh process state, as a real run does.
  std::memset(writer_path, 0, sizeof writer_path);
  std::memset(output_path, 0, sizeof output_path);
  std::memset(listing_path, 0, sizeof listing_path);
  output_path_set = 0;
  recorded_calls.clear();

  std::vector<std::string> storage;
  storage.push_back("/opt/orvane/Orvane");
  storage.insert(storage.end(), args.begin(), args.end());
  std::vector<char *> argv;
  for (std::string &word : storage) argv.push_back(&word[0]);
  argv.push_back(nullptr);

  cli_result result;
  ::testing::internal::CaptureStdout();
  result.exit_code = orvane_main_in(dir_.c_str(), static_cast<int>(storage.size()), argv.data());
  result.out = ::testing::internal::GetCapturedStdout();
  result.calls = recorded_calls;
  return result;
}

recorded_call CliTest::only_call(const cli_result &result) {
  EXPECT_EQ(result.calls.size(), 1u) << "console: " << result.out;
  return result.calls.empty() ? recorded_call{} : result.calls.front();
}

void CliTest::expect_refused(const cli_result &result, const char *message, int exit_code) {
  EXPECT_EQ(result.out, message);
  EXPECT_EQ(result.exit_code, exit_code);
  EXPECT_TRUE(result.calls.empty());
}
