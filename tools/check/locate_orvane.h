// SPDX-License-Identifier: Apache-2.0
// Finding the Orvane program the companion runs.
#ifndef ORVANE_CHECK_LOCATE_ORVANE_H
#define ORVANE_CHECK_LOCATE_ORVANE_H

#include <string>

// The program beside the companion's real path (Orvane, orvane or Orvane.exe: the program
// itself or the link to it), else in the installation's program directory relative to it
// (ORVANE_CHECK_PROGRAM_DIR, e.g. ../libexec/orvane).  Empty when neither holds it; the
// places looked at go to *searched, for the message.
std::string locate_orvane(std::string *searched);

#endif
