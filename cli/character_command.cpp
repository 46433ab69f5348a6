// SPDX-License-Identifier: Apache-2.0
// The character grammar: dispatch by command word, and the commands without memory values
// (pc, bkp, sws, step, stop, run, rst, ac, ini).
#include <cstring>

#include "base/console.h"
#include "base/state.h"
#include "cli/character_memory.h"
#include "cli/character_options.h"
#include "cli/grammar.h"
#include "cli/number.h"
#include "control/control.h"
#include "engine/chip_family.h"

namespace {

bool count_within(const character_line &line, int lowest, int highest) {
  return line.argc >= lowest && line.argc <= highest;
}

// "-u" anywhere from argument 0 on selects usb, else evk.
int scan_mode_all(const character_line &line) {
  int mode = kModeEvk;
  for (int i = 0; i < line.argc; ++i)
    if (is_option(line, i, "-u")) mode = kModeUsb;
  return mode;
}

int command_pc(const character_line &line) {
  if (!count_within(line, 5, 6)) {
    say(msg::pc_cmd_err_2);
    return 1;
  }
  int mode = kModeEvk;
  for (int i = 0; i < line.argc; ++i) {
    if (is_option(line, i, "-u")) mode = kModeUsb;
    // "-i" as the last argument has no listing to name; the lookup then reports it.
    if (is_option(line, i, "-i") && option_value(line, i) != nullptr) {
      if (!copy_path(listing_path, option_value(line, i))) {
        say(msg::path_too_long_201);
        return 1;
      }
    }
  }
  show_pc_in_listing(mode, line.mcu_type, listing_path);
  return 0;
}

int command_bkp(const character_line &line) {
  if (!count_within(line, 4, 8)) {
    say(msg::bkp_cmd_err_3);
    return 1;
  }
  for (int k = 0; k < 4 && 3 + k < line.argc; ++k)
    if (hex_refused(line.argv[3 + k])) return 1;
  int mode = scan_mode_all(line);
  // Words not given stay zero.
  uint32_t words[4] = {0, 0, 0, 0};
  for (int k = 0; k < 4 && 3 + k < line.argc; ++k)
    words[k] = static_cast<uint32_t>(read_hex(line.argv[3 + k]));
  set_breakpoints(mode, line.mcu_type, words);
  return 0;
}

int command_sws(const character_line &line) {
  if (!count_within(line, 4, 7)) {
    say(msg::sws_cmd_err_3);
    return 1;
  }
  unsigned char bytes[4] = {0, 0, 0, 0};
  for (int k = 0; k < 4 && 3 + k < line.argc; ++k)
    bytes[k] = static_cast<unsigned char>(read_hex(line.argv[3 + k]) & 0xff);
  setup_single_wire(line.mcu_type, bytes);
  return 0;
}

// step, stop, run, rst: three or four arguments, "-u" anywhere.
int command_run_control(const character_line &line, msg count_message,
                        outcome (*operation)(int, int)) {
  if (!count_within(line, 3, 4)) {
    say(count_message);
    return 1;
  }
  operation(scan_mode_all(line), line.mcu_type);
  return 0;
}

int command_ac(const character_line &line) {
  if (line.argc != 3) {
    say(msg::ac_cmd_err_8);
    return 1;
  }
  // Activation only exists through the EVK probe.
  activate_target(kModeEvk, line.mcu_type);
  return 0;
}

}  // namespace

int run_character_command(int argc, char **argv, int32_t mcu_type) {
  character_line line{argc, argv, mcu_type};
  const char *word = argv[2];
  if (std::strcmp(word, "pc") == 0) return command_pc(line);
  if (std::strcmp(word, "bkp") == 0) return command_bkp(line);
  if (std::strcmp(word, "sws") == 0) return command_sws(line);
  if (std::strcmp(word, "step") == 0)
    return command_run_control(line, msg::step_cmd_err_4, step_mcu);
  if (std::strcmp(word, "stop") == 0)
    return command_run_control(line, msg::stop_cmd_err_5, stop_mcu);
  if (std::strcmp(word, "run") == 0)
    return command_run_control(line, msg::run_cmd_err_6, run_mcu);
  if (std::strcmp(word, "rst") == 0)
    return command_run_control(line, msg::rst_cmd_err_7, reset_mcu);
  if (std::strcmp(word, "ac") == 0) return command_ac(line);
  if (std::strcmp(word, "wf") == 0) return command_wf(line);
  if (std::strcmp(word, "rf") == 0) return command_rf(line);
  if (std::strcmp(word, "wc") == 0) return command_wc(line);
  if (std::strcmp(word, "rc") == 0) return command_rc(line);
  if (std::strcmp(word, "wa") == 0) return command_wa(line);
  if (std::strcmp(word, "ra") == 0) return command_ra(line);
  // "ini": config.ini has been read and the chip selected; nothing more to do.
  return 0;
}
