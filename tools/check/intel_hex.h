// SPDX-License-Identifier: Apache-2.0
// Intel HEX: data records (00) placed by the extended segment (02) or extended linear (04)
// address in force; end of file (01); start addresses (03, 05) carry nothing to load.
#ifndef ORVANE_CHECK_INTEL_HEX_H
#define ORVANE_CHECK_INTEL_HEX_H

#include <string>
#include <vector>

#include "tools/check/firmware_image.h"

bool read_intel_hex(const std::string &file, std::vector<image_segment> *segments,
                    std::string *error);

#endif
