// SPDX-License-Identifier: Apache-2.0
// The chip table of a program folder's config.ini, read as Orvane reads it, for the tools
// beside the program: which MCU type a chip name selects, and which chip an identity word
// names.
#ifndef ORVANE_CHECK_CHIP_TABLE_H
#define ORVANE_CHECK_CHIP_TABLE_H

#include <cstdint>
#include <string>
#include <vector>

struct chip_row {
  std::string name;  // the chip name given on the command line ("4710")
  int mcu_type = 0;
};

// Rows "MCU <type> <word> = <name> <writer file> ..." in file order, fields separated by
// blanks or tabs; rows whose type or name is longer than Orvane keeps are left out, as Orvane
// leaves them out.  False when the file cannot be read.
bool read_chip_table(const std::string &path, std::vector<chip_row> *rows);

// The first row with this name, as Orvane selects it; nullptr when none.
const chip_row *find_chip(const std::vector<chip_row> &rows, const std::string &name);

// The identity word a chip reports: its name read as a hexadecimal number ("4715" reports
// 0x00004715).  False for a name that is not one.
bool chip_identity(const std::string &name, uint32_t *identity);

// The first row whose chip reports this identity word.  Once the chip has been activated
// through an EVK probe, byte 0x7f of the word reads the activation status ('S' or 'U'): then
// byte 0x7e alone is compared.  nullptr when none.
const chip_row *chip_reporting(const std::vector<chip_row> &rows, uint32_t identity);

#endif
