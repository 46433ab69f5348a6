// SPDX-License-Identifier: Apache-2.0
// Motorola S-records: header (S0), data with 16-, 24- or 32-bit addresses (S1, S2, S3),
// record counts (S5, S6) and the end record with the start address (S7, S8, S9).
#ifndef ORVANE_CHECK_SREC_H
#define ORVANE_CHECK_SREC_H

#include <string>
#include <vector>

#include "tools/check/firmware_image.h"

bool read_srec(const std::string &file, std::vector<image_segment> *segments, std::string *error);

#endif
