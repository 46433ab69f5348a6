// SPDX-License-Identifier: Apache-2.0
// wf, rf, wc, rc, wa, ra: address from argument 3, options scanned one position at a time
// (an option's value is itself compared with the options at the next position; the last
// occurrence of an option wins).
#include "cli/character_memory.h"

#include <cstring>

#include "base/console.h"
#include "base/state.h"
#include "cli/number.h"
#include "control/control.h"
#include "engine/chip_family.h"
#include "engine/engine.h"

namespace {

bool count_within(const character_line &line, int lowest, int highest) {
  return line.argc >= lowest && line.argc <= highest;
}

uint32_t address_of(const character_line &line) {
  return static_cast<uint32_t>(read_hex(line.argv[3]));
}

uint32_t data_word_of(const character_line &line) {
  return static_cast<uint32_t>(read_hex(line.argv[4]));
}

// What the read commands (rf, rc, ra) take from their scan from argument 4.
struct read_options {
  int mode;
  uint32_t size;
};

// "-u", "-o", "-s" (size with unit).  False, with the size message printed, when a "-s" has
// no usable count or an output path does not fit its buffer.
bool scan_read_options(const character_line &line, msg size_message,
                       read_options *options) {
  options->mode = kModeEvk;
  options->size = 0;
  for (int i = 4; i < line.argc; ++i) {
    if (is_option(line, i, "-u")) options->mode = kModeUsb;
    // "-o" as the last argument names no file; the data is then shown on the console.
    if (is_option(line, i, "-o") && option_value(line, i) != nullptr) {
      if (!copy_path(output_path, option_value(line, i))) {
        output_path_set = 0;
        say(msg::path_too_long_201);
        return false;
      }
      output_path_set = 1;
    }
    if (is_option(line, i, "-s") && !read_unit_size(line, i, &options->size)) {
      say(size_message);
      return false;
    }
  }
  return true;
}

}  // namespace

int command_wf(const character_line &line) {
  if (!count_within(line, 6, 8)) {
    say(msg::wf_cmd_err_9);
    return 1;
  }
  if (hex_refused(line.argv[3])) return 1;
  uint32_t address = address_of(line);
  int mode = kModeEvk;
  uint32_t size = 0;
  const char *input_path = nullptr;
  uint32_t erase_count = 0;
  for (int i = 4; i < line.argc; ++i) {
    if (is_option(line, i, "-u")) mode = kModeUsb;
    if (is_option(line, i, "-s") && !read_plain_size(line, i, &size)) {
      say(msg::invalid_length_of_wf_10);
      return 1;
    }
    if (is_option(line, i, "-i")) {
      const char *value = option_value(line, i);
      if (value == nullptr || std::strlen(value) < 5) {
        say(msg::invalid_file_path_of_wf_11);
        return 1;
      }
      input_path = value;
    }
    if (is_option(line, i, "-e")) {
      const char *value = option_value(line, i);
      if (value == nullptr) {
        say(msg::invalid_erase_size_of_wf_12);
        return 1;
      }
      if (hex_refused(value)) return 1;
      erase_count = static_cast<uint32_t>(read_hex(value));
    }
  }

  if (input_path != nullptr) {
    download_image(mode, line.mcu_type, address, kTargetFlash, input_path);
  } else if (erase_count != 0) {
    if (!erase_range_fits(address, erase_count)) {
      say(msg::invalid_erase_range_of_wf_220);
      return 1;
    }
    erase_flash(mode, line.mcu_type, address, erase_count);
  } else if (size == 0) {
    say(msg::invalid_wf_cmd_13);
    return 1;
  } else {
    if (hex_refused(line.argv[4])) return 1;
    access_flash(mode, line.mcu_type, address, size, data_word_of(line), kOpWrite);
  }
  return 0;
}

int command_rf(const character_line &line) {
  if (!count_within(line, 6, 9)) {
    say(msg::invalid_rf_cmd_14);
    return 1;
  }
  if (hex_refused(line.argv[3])) return 1;
  uint32_t address = address_of(line);
  read_options options{};
  if (!scan_read_options(line, msg::invalid_length_of_rf_15, &options)) return 1;
  // No "-s", or a size whose unit product wrapped to 0.
  if (options.size == 0) {
    say(msg::invalid_rf_cmd_16);
    return 1;
  }
  access_flash(options.mode, line.mcu_type, address, options.size, 0, kOpRead);
  return 0;
}

int command_wc(const character_line &line) {
  if (!count_within(line, 7, 8)) {
    say(msg::invalid_wc_cmd_17);
    return 1;
  }
  if (hex_refused(line.argv[3])) return 1;
  uint32_t address = address_of(line);
  int mode = kModeEvk;
  const char *input_path = nullptr;
  uint32_t size = 0;
  // Argument 4 is the data word (or an unused word in the download form): the scan starts
  // after it.
  for (int i = 5; i < line.argc; ++i) {
    if (is_option(line, i, "-u")) mode = kModeUsb;
    if (is_option(line, i, "-i")) {
      input_path = option_value(line, i);
      if (input_path == nullptr) {
        say(msg::invalid_path_of_wc_18);
        return 1;
      }
    }
    if (is_option(line, i, "-s") && !read_plain_size(line, i, &size)) {
      say(msg::invalid_length_of_wc_19);
      return 1;
    }
  }

  uint32_t limit = sram_limit(line.mcu_type);
  if (input_path != nullptr) {
    // An image is only ever loaded into SRAM; this refusal keeps exit code 0.
    if (address < limit) {
      say(msg::invalid_sram_download_address_of_wc_20);
      return 0;
    }
    download_image(mode, line.mcu_type, address, kTargetSram, input_path);
    return 0;
  }
  if (size == 0) {
    say(msg::invalid_wc_cmd_21);
    return 1;
  }
  if (hex_refused(line.argv[4])) return 1;
  uint32_t data = data_word_of(line);
  if (address < limit)
    access_digital_register(mode, line.mcu_type, address, size, data, kOpWrite);
  else
    access_sram(mode, line.mcu_type, address, size, data, kOpWrite);
  return 0;
}

int command_rc(const character_line &line) {
  if (!count_within(line, 6, 9)) {
    say(msg::invalid_rc_cmd_22);
    return 1;
  }
  if (hex_refused(line.argv[3])) return 1;
  uint32_t address = address_of(line);
  read_options options{};
  if (!scan_read_options(line, msg::invalid_length_of_rc_23, &options)) return 1;
  if (options.size == 0) {
    say(msg::invalid_rc_cmd_24);
    return 1;
  }
  if (address < sram_limit(line.mcu_type))
    access_digital_register(options.mode, line.mcu_type, address, options.size, 0, kOpRead);
  else
    access_sram(options.mode, line.mcu_type, address, options.size, 0, kOpRead);
  return 0;
}

int command_wa(const character_line &line) {
  if (!count_within(line, 7, 8)) {
    say(msg::invalid_wa_cmd_25);
    return 1;
  }
  if (hex_refused(line.argv[3])) return 1;
  uint32_t address = address_of(line);
  int mode = kModeEvk;
  uint32_t size = 0;
  for (int i = 5; i < line.argc; ++i) {
    if (is_option(line, i, "-u")) mode = kModeUsb;
    if (is_option(line, i, "-s") && !read_plain_size(line, i, &size)) {
      say(msg::invalid_length_of_wa_26);
      return 1;
    }
  }
  if (size == 0) {
    say(msg::invalid_wa_cmd_27);
    return 1;
  }
  if (hex_refused(line.argv[4])) return 1;
  access_analog_register(mode, line.mcu_type, address, size, data_word_of(line), kOpWrite);
  return 0;
}

int command_ra(const character_line &line) {
  if (!count_within(line, 6, 9)) {
    say(msg::invalid_ra_cmd_28);
    return 1;
  }
  if (hex_refused(line.argv[3])) return 1;
  uint32_t address = address_of(line);
  read_options options{};
  if (!scan_read_options(line, msg::invalid_length_of_ra_29, &options)) return 1;
  if (options.size == 0) {
    say(msg::invalid_ra_cmd_30);
    return 1;
  }
  access_analog_register(options.mode, line.mcu_type, address, options.size, 0, kOpRead);
  return 0;
}
