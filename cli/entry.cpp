// SPDX-License-Identifier: Apache-2.0
// Entry: argument count, "help", config.ini beside the program, grammar choice.
#include "cli/entry.h"

#include <cstdio>
#include <cstring>

#include "base/command_words.h"
#include "base/console.h"
#include "base/platform.h"
#include "base/state.h"
#include "cli/grammar.h"
#include "cli/mcu_table.h"
#include "cli/number.h"

namespace {

// GetModuleFileNameA's buffer: the configuration path must fit in it as well.
constexpr std::size_t kModulePathSize = 260;

// Opens directory + "\config.ini"; nullptr when the path does not fit or the file is missing.
std::FILE *open_config(const char *directory) {
  static const char kConfigName[] = "\\config.ini";
  char path[kModulePathSize];
  std::size_t length = std::strlen(directory);
  if (length + sizeof kConfigName > sizeof path) return nullptr;
  std::memcpy(path, directory, length);
  std::memcpy(path + length, kConfigName, sizeof kConfigName);
  // A folder or a FIFO named config.ini is no configuration either (and a FIFO would block).
  return open_native_input_file(path);
}

}  // namespace

int orvane_main_in(const char *directory, int argc, char **argv) {
  if (argc < 2) {
    say(msg::invaild_cmd_0);
    return 0;
  }
  if (std::strcmp(argv[1], "help") == 0) {
    print_help();
    return 0;
  }

  std::FILE *config = directory != nullptr ? open_config(directory) : nullptr;
  if (config == nullptr) {
    say(msg::fail_to_open_file_1);
    return 0;
  }
  read_mcu_table(config);
  std::fclose(config);

  // Without an argument 2 there is no command word: the line can only be numeric, and the
  // numeric commands check their own counts.
  if (argc >= 3 && is_character_word(argv[2])) {
    int32_t mcu_type = 0;
    if (!select_mcu(argv[1], &mcu_type)) {
      // Going on without a row would hand the operations a made-up chip and no flash writer.
      say(msg::chip_not_found_200, argv[1]);
      return 1;
    }
    return run_character_command(argc, argv, mcu_type);
  }

  int32_t code = read_hex(argv[1]);
  if (code == 0) {
    say(msg::invalid_cmd_31);
    return 0;
  }
  return run_numeric_command(code & 0xff, argc, argv);
}

int orvane_main(int argc, char **argv) {
  char directory[kModulePathSize];
  // A directory that cannot be found (or is too long) leaves config.ini unopenable.
  bool found = program_directory(directory, sizeof directory);
  return orvane_main_in(found ? directory : nullptr, argc, argv);
}
