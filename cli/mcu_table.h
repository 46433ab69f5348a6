// SPDX-License-Identifier: Apache-2.0
// config.ini into the MCU table, and the row lookup of character commands.
#ifndef ORVANE_CLI_MCU_TABLE_H
#define ORVANE_CLI_MCU_TABLE_H

#include <cstdint>
#include <cstdio>

// Clears the table, then stores every row line of the file ("MCU type any = chip writer ...")
// in file order.  Rows beyond the table's 1024 and rows with a field too long for the table
// are left out; lines with missing fields are not rows.
void read_mcu_table(std::FILE *file);

// The first of the first 256 rows whose chip name equals chip_name: clears writer_path, copies
// the row's writer file into it, reads the type into *mcu_type.  False when no row matches
// (writer_path is then cleared and *mcu_type untouched).
bool select_mcu(const char *chip_name, int32_t *mcu_type);

#endif
