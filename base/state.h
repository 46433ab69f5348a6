// SPDX-License-Identifier: Apache-2.0
// Process-wide state filled by the front end and read by the operations.
#ifndef ORVANE_BASE_STATE_H
#define ORVANE_BASE_STATE_H

#include <cstdint>

constexpr int kMcuRows = 1024;
constexpr int kPathSize = 261;

struct mcu_row {
  char type_text[8];
  char chip_name[8];
  char writer_file[kPathSize];
};

extern mcu_row mcu_table[kMcuRows];
extern int32_t mcu_count;

extern char writer_path[kPathSize];
extern char output_path[kPathSize];
extern unsigned char output_path_set;
extern char listing_path[kPathSize];

#endif
