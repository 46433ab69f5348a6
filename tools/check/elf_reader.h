// SPDX-License-Identifier: Apache-2.0
// ELF executables: the bytes of each loadable segment (PT_LOAD) at its physical address.
#ifndef ORVANE_CHECK_ELF_READER_H
#define ORVANE_CHECK_ELF_READER_H

#include <string>
#include <vector>

#include "tools/check/firmware_image.h"

// 32- and 64-bit, either byte order.  A segment loads its file bytes (p_filesz) only: the rest
// up to p_memsz is zeroed by the start-up code, not stored in flash.
bool read_elf(const std::string &file, std::vector<image_segment> *segments, std::string *error);

#endif
