// SPDX-License-Identifier: Apache-2.0
// What an Orvane command line asks for, as far as the companion needs to know: how many
// bytes its progress lines count towards, and whether it is a download to flash that can be
// verified.  Orvane remains the judge of the command line: a line it refuses is simply
// relayed, whatever is worked out here.
#ifndef ORVANE_CHECK_COMMAND_SHAPE_H
#define ORVANE_CHECK_COMMAND_SHAPE_H

#include <cstdint>
#include <string>
#include <vector>

#include "base/messages.h"

enum class command_kind { flash_download, sram_download, erase, read, other };

struct command_shape {
  command_kind kind = command_kind::other;
  bool character_form = false;  // chip name and command word, rather than numeric codes
  uint32_t address = 0;         // the command's target address
  uint64_t total = 0;           // bytes the progress lines count towards (0: not known)
  std::string image;            // the file after -i (downloads), as Orvane will open it
  bool usb = false;             // "-u" given
  // The kCompletes... bits (base/messages.h) of the lines that say this command finished; 0
  // for a command that finishes without a line ("ini", the numeric setting).
  unsigned completed_by = 0;
  // A command word Orvane does not know (it would do nothing and say nothing): the
  // companion refuses it before anything runs.
  bool unknown_command = false;
};

// args: the Orvane arguments (argument 1 onwards: CHIP COMMAND ... or the numeric form).
// The image size for the total is taken from the file when it can be read.
command_shape shape_command(const std::vector<std::string> &args);

// The Orvane arguments that read the downloaded range back into out_path:
// CHIP rf ADDRESS -s SIZE [-u] -o out_path.  Only for a character-form flash download.
std::vector<std::string> readback_arguments(const std::vector<std::string> &args,
                                            const command_shape &shape, uint64_t size,
                                            const std::string &out_path);

// How many of the shape's bytes a progress line reports done; false when the line reports
// none.
bool progress_bytes(const command_shape &shape, const std::string &line, uint64_t *done);

// Numbers as Orvane reads them: strtol rules, base 16 or 10, 0 for no digits or overflow.
int32_t read_number(const std::string &text, int base);

#endif
