// SPDX-License-Identifier: Apache-2.0
// What `load` downloads: a firmware file (raw binary, ELF, Intel HEX or S-record, told apart
// by content as the companion tells them) planned into flash runs as the companion plans them.
#ifndef ORVANE_DEBUG_LOAD_IMAGE_H
#define ORVANE_DEBUG_LOAD_IMAGE_H

#include <cstdint>
#include <string>

#include "tools/check/download_plan.h"

// Reads path and plans its downloads for a chip of mcu_type.  A raw binary goes to address;
// a file that carries its own addresses takes no address (address_given refuses it).  Only
// flash runs: a file with bytes for SRAM is refused (its download would start the core).
// False, with the reason in *error.
bool plan_load(const std::string &path, uint32_t address, bool address_given, int mcu_type,
               download_plan *plan, std::string *error);

#endif
