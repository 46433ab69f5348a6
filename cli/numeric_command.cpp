// SPDX-License-Identifier: Apache-2.0
// The numeric grammar: fixed positions, hexadecimal numbers, one operation per command code.
// Arguments: 1 command, 2 object, 3 address, 4 mode, 5 MCU table row, 6 para1, 7 para2
// (bkp and sws take para1 to argument 9).
#include <cstring>

#include "base/console.h"
#include "base/state.h"
#include "cli/grammar.h"
#include "cli/number.h"
#include "control/control.h"
#include "engine/chip_family.h"
#include "engine/engine.h"

namespace {

// The longest path the substitution holds.
constexpr std::size_t kMaxSubstitutedPath = 255;

struct numeric_line {
  int argc;
  char **argv;
};

// Several commands do not test their count: an argument that is not there reads as an empty
// text, that is as the number 0 (an object 0 is then refused, a missing path names no file).
const char *argument(const numeric_line &line, int i) { return i < line.argc ? line.argv[i] : ""; }

int32_t hex_argument(const numeric_line &line, int i) { return read_hex(argument(line, i)); }

// True, with the refusal printed, when one of the arguments first..last is a hexadecimal
// value that reads as 0 only because it does not fit: nothing is sent for it.
bool hex_refused(const numeric_line &line, int first, int last) {
  for (int i = first; i <= last; ++i) {
    if (!hex_overflows(argument(line, i))) continue;
    say(msg::number_too_large_261, argument(line, i));
    return true;
  }
  return false;
}

// Row n of the MCU table, counted from 1.  Rows after the last filled one are empty; so is
// any number outside 1..1024, which must never index outside the table.
const mcu_row &row_by_number(int32_t number) {
  static const mcu_row kEmptyRow{};
  if (number < 1 || number > kMcuRows) return kEmptyRow;
  return mcu_table[number - 1];
}

int32_t mcu_type_of_row(const numeric_line &line) {
  return read_hex(row_by_number(hex_argument(line, 5)).type_text);
}

// Download, erase, read and write also take the row's flash-writer file.
int32_t select_row_with_writer(const numeric_line &line) {
  const mcu_row &row = row_by_number(hex_argument(line, 5));
  std::memset(writer_path, 0, sizeof writer_path);
  std::memcpy(writer_path, row.writer_file, sizeof row.writer_file);
  return read_hex(row.type_text);
}

// Run, stop, step, pc and bkp know only usb (1) and evk (anything else).
int usb_or_evk(const numeric_line &line) { return hex_argument(line, 4) == 1 ? kModeUsb : kModeEvk; }

// Argument 6 with every "#njj#" turned into a blank; nullptr (message printed) when the path
// is too long to be substituted whole.  The buffer is the function's own and stays valid until
// the next call (the program makes one per run).
const char *substituted_path(const numeric_line &line) {
  static const char kMarker[] = "#njj#";
  constexpr std::size_t kMarkerLength = sizeof kMarker - 1;
  static char result[kMaxSubstitutedPath + 1];
  const char *path = argument(line, 6);
  if (std::strlen(path) > kMaxSubstitutedPath) {
    say(msg::path_too_long_202);
    return nullptr;
  }
  // One pass from the left: a blank never forms part of a marker, so what it leaves behind
  // holds no new one.
  std::size_t length = 0;
  while (*path != '\0') {
    if (std::strncmp(path, kMarker, kMarkerLength) == 0) {
      result[length++] = ' ';
      path += kMarkerLength;
    } else {
      result[length++] = *path++;
    }
  }
  result[length] = '\0';
  return result;
}

int command_download(const numeric_line &line) {
  if (line.argc != 7) {
    say(msg::invalid_download_cmd_57);
    return 0;
  }
  if (hex_refused(line, 3, 3)) return 1;
  int object = hex_argument(line, 2) & 0xff;
  uint32_t address = static_cast<uint32_t>(hex_argument(line, 3));
  int mode = hex_argument(line, 4);
  int32_t mcu_type = select_row_with_writer(line);
  if (object != kTargetFlash && object != kTargetSram) {
    say(msg::invalid_download_cmd_58);
    return 0;
  }
  const char *path = substituted_path(line);
  if (path == nullptr) return 0;
  download_image(mode, mcu_type, address, object, path);
  return 0;
}

int command_erase(const numeric_line &line) {
  if (line.argc != 7) {
    say(msg::invalid_erase_cmd_59);
    return 0;
  }
  if (hex_refused(line, 3, 3) || hex_refused(line, 6, 6)) return 1;
  int object = hex_argument(line, 2) & 0xff;
  uint32_t address = static_cast<uint32_t>(hex_argument(line, 3));
  int mode = hex_argument(line, 4);
  int32_t mcu_type = select_row_with_writer(line);
  uint32_t sectors = static_cast<uint32_t>(hex_argument(line, 6));
  if (object != 1) return 0;
  if (!erase_range_fits(address, sectors)) {
    say(msg::invalid_erase_range_221);
    return 0;
  }
  erase_flash(mode, mcu_type, address, sectors);
  return 0;
}

void command_activate(const numeric_line &line) {
  if (line.argc != 6) {
    say(msg::invalid_activate_cmd_60);
    return;
  }
  activate_target(hex_argument(line, 4), mcu_type_of_row(line));
}

// Read (5) and write (6): the object picks the operation; no address test here.
int command_access(const numeric_line &line, int op) {
  int wanted_count = op == kOpRead ? 7 : 8;
  if (line.argc != wanted_count) {
    say(op == kOpRead ? msg::invalid_read_cmd_64 : msg::invalid_write_cmd_65);
    return 0;
  }
  if (hex_refused(line, 3, 3) || hex_refused(line, 6, wanted_count - 1)) return 1;
  int object = hex_argument(line, 2) & 0xff;
  uint32_t address = static_cast<uint32_t>(hex_argument(line, 3));
  int mode = hex_argument(line, 4);
  int32_t mcu_type = select_row_with_writer(line);
  uint32_t size = static_cast<uint32_t>(hex_argument(line, 6));
  uint32_t data = op == kOpWrite ? static_cast<uint32_t>(hex_argument(line, 7)) : 0;
  switch (object) {
    case 1: access_flash(mode, mcu_type, address, size, data, op); break;
    case 2: access_sram(mode, mcu_type, address, size, data, op); break;
    case 3: access_digital_register(mode, mcu_type, address, size, data, op); break;
    case 4: access_analog_register(mode, mcu_type, address, size, data, op); break;
    default: break;
  }
  return 0;
}

// The MCU commands compare the whole object value with 5.
bool object_is_mcu(const numeric_line &line, msg refusal) {
  if (hex_argument(line, 2) == 5) return true;
  say(refusal);
  return false;
}

void command_reset(const numeric_line &line) {
  if (!object_is_mcu(line, msg::invalid_run_cmd_37)) return;
  // Reset passes the mode as given; the operation decides what an unknown mode means.
  reset_mcu(hex_argument(line, 4), mcu_type_of_row(line));
}

void command_run_control(const numeric_line &line, msg refusal, outcome (*operation)(int, int)) {
  if (!object_is_mcu(line, refusal)) return;
  operation(usb_or_evk(line), mcu_type_of_row(line));
}

void command_pc(const numeric_line &line) {
  if (!object_is_mcu(line, msg::invalid_pc_cmd_35)) return;
  const char *path = substituted_path(line);
  if (path == nullptr) return;
  std::memset(listing_path, 0, sizeof listing_path);
  std::memcpy(listing_path, path, std::strlen(path));
  show_pc_in_listing(usb_or_evk(line), mcu_type_of_row(line), listing_path);
}

int command_bkp(const numeric_line &line) {
  if (!object_is_mcu(line, msg::invalid_bkp_cmd_36)) return 0;
  if (hex_refused(line, 6, 9)) return 1;
  uint32_t words[4];
  for (int k = 0; k < 4; ++k) words[k] = static_cast<uint32_t>(hex_argument(line, 6 + k));
  set_breakpoints(usb_or_evk(line), mcu_type_of_row(line), words);
  return 0;
}

void command_sws(const numeric_line &line) {
  if (!object_is_mcu(line, msg::invalid_sws_cmd_36)) return;
  unsigned char bytes[4];
  for (int k = 0; k < 4; ++k) bytes[k] = static_cast<unsigned char>(hex_argument(line, 6 + k) & 0xff);
  setup_single_wire(mcu_type_of_row(line), bytes);
}

}  // namespace

int run_numeric_command(int code, int argc, char **argv) {
  numeric_line line{argc, argv};
  switch (code) {
    case 0x1: return command_download(line);
    case 0x2: return command_erase(line);
    case 0x3: command_activate(line); break;
    case 0x4: break;  // setting: accepted, nothing to do
    case 0x5: return command_access(line, kOpRead);
    case 0x6: return command_access(line, kOpWrite);
    case 0x7: command_reset(line); break;
    case 0x8: command_run_control(line, msg::invalid_run_cmd_32, run_mcu); break;
    case 0x9: command_run_control(line, msg::invalid_stop_cmd_33, stop_mcu); break;
    case 0xa: command_run_control(line, msg::invalid_step_cmd_34, step_mcu); break;
    case 0xb: command_pc(line); break;
    case 0xc: return command_bkp(line);
    case 0xd: command_sws(line); break;
    case 0xe: print_help(); break;
    default: break;  // 0 and codes above 0xe do nothing
  }
  return 0;
}
