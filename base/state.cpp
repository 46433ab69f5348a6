// SPDX-License-Identifier: Apache-2.0
// The process-wide state: the MCU table from config.ini and the paths the grammars fill in.
#include "base/state.h"

mcu_row mcu_table[kMcuRows];
int32_t mcu_count = 0;

char writer_path[kPathSize];
char output_path[kPathSize];
unsigned char output_path_set = 0;
char listing_path[kPathSize];
