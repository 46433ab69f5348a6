// SPDX-License-Identifier: Apache-2.0
// Both grammars on hostile command lines, with the operations recorded instead of run: the
// exit code is 0 or 1 (1 with no operation called), every path buffer stays terminated, and every operation is called
// with a valid operation code (and, from the character grammar, a valid mode).
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "cli/entry.h"
#include "base/state.h"
#include "fuzz/fuzz_check.h"
#include "tests/cli/operation_recorder.h"

namespace {

constexpr size_t kMaxArguments = 12;
std::string config_dir;

bool terminated(const char *buffer) { return std::memchr(buffer, '\0', kPathSize) != nullptr; }

bool is_mode(int64_t mode) { return mode == 1 || mode == 4; }

bool is_character_word(const char *word) {
  static const char *const kWords[] = {"pc", "bkp", "sws", "step", "stop", "run", "rst", "ac",
                                       "wf", "rf", "wc", "rc", "wa", "ra", "ini"};
  for (const char *candidate : kWords)
    if (std::strcmp(word, candidate) == 0) return true;
  return false;
}

void check_call(const recorded_call &call, bool character) {
  // The numeric grammar copies its image path into a buffer of the program's; the character
  // grammar hands on the word as typed (opened as given, of any length).
  if (!character) FUZZ_CHECK(call.path.size() < static_cast<size_t>(kPathSize));
  const std::vector<int64_t> &v = call.values;
  const std::string &name = call.name;
  if (name.compare(0, 7, "access_") == 0) FUZZ_CHECK(v.size() == 6 && (v[5] == 5 || v[5] == 6));
  if (name == "download_image") FUZZ_CHECK(v[3] == 1 || v[3] == 2);
  if (name == "activate_target" && character) FUZZ_CHECK(v[0] == 4);
  if (character && name != "setup_single_wire") FUZZ_CHECK(is_mode(v[0]));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  char pattern[] = "/tmp/orvane-fuzz-XXXXXX";
  if (mkdtemp(pattern) == nullptr) std::abort();
  config_dir = pattern;
  std::FILE *config = std::fopen((config_dir + "/config.ini").c_str(), "wb");
  if (config == nullptr) std::abort();
  std::fputs("[MCU]\nMCU 1 zk32 = 4710 \\writer\\zk4710.bin end\n"
             "MCU 2 zk32 = 4712 \\writer\\zk4712.bin end\n"
             "MCU 3 zk32 = 4715 \\writer\\zk4715.bin end\n"
             "MCU 4 zk32 = 4716 \\writer\\zk4716.bin end\n",
             config);
  std::fclose(config);
  // The grammars print their refusals: thousands of lines a second are of no use here.
  if (std::freopen("/dev/null", "w", stdout) == nullptr) std::abort();
  return 0;
}

// Arguments 1, 2, ... are the input's NUL-separated pieces.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  std::vector<std::string> words{"Orvane"};
  std::string word;
  for (size_t i = 0; i < size && words.size() < kMaxArguments; ++i) {
    if (data[i] != 0) {
      word += static_cast<char>(data[i]);
    } else {
      words.push_back(word);
      word.clear();
    }
  }
  if (!word.empty() && words.size() < kMaxArguments) words.push_back(word);
  std::vector<char *> argv;
  for (std::string &w : words) argv.push_back(&w[0]);
  argv.push_back(nullptr);

  // A fresh process starts with empty paths.
  std::memset(output_path, 0, kPathSize);
  std::memset(listing_path, 0, kPathSize);
  std::memset(writer_path, 0, kPathSize);
  output_path_set = 0;
  recorded_calls.clear();

  const int argc = static_cast<int>(words.size());
  const int exit_code = orvane_main_in(config_dir.c_str(), argc, argv.data());
  FUZZ_CHECK(exit_code == 0 || exit_code == 1);
  FUZZ_CHECK(terminated(output_path) && terminated(listing_path) && terminated(writer_path));
  FUZZ_CHECK(recorded_calls.size() <= 1);
  const bool character = argc >= 3 && is_character_word(argv[2]);
  // A refused line sends nothing; a numeric line is refused only for a hexadecimal value too
  // large for 32 bits.
  if (exit_code == 1) FUZZ_CHECK(recorded_calls.empty());
  for (const recorded_call &call : recorded_calls) check_call(call, character);
  return 0;
}
