// SPDX-License-Identifier: Apache-2.0
// After a failed command: is the attached chip another than the one named?  The chip's
// identity word (bytes 0x7e..0x81) is read with Orvane itself, in the command's own mode, and
// compared with the word the named chip reports (chip_table.h).
#ifndef ORVANE_CHECK_CHIP_HINT_H
#define ORVANE_CHECK_CHIP_HINT_H

#include <cstdint>
#include <string>
#include <vector>

#include "tools/check/chip_table.h"
#include "tools/check/command_shape.h"

// The hint for a failed character command (CHIP COMMAND ...): empty when the identity cannot
// be read, when it is the named chip's, or when the named chip's name says no identity.
std::string chip_hint(const std::string &orvane, const std::vector<std::string> &command,
                      const command_shape &shape);

// The words of the hint: the chip named, the identity read, the chip table beside Orvane.
std::string identity_hint(const std::string &named, uint32_t identity,
                          const std::vector<chip_row> &rows);

// The identity word from the console output of "CHIP rc 7e -s 4": the dump line of 0x7e,
// four bytes, little-endian.  False when the output holds no such line.
bool identity_from_dump(const std::string &output, uint32_t *identity);

// config.ini beside the Orvane program (its real path).
std::string config_beside(const std::string &orvane);

#endif
