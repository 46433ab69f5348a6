// SPDX-License-Identifier: Apache-2.0
// The companion's few file and console questions.  Running Orvane (base/child_process.h), its
// clock and its own folder (base/platform.h) are the platform layer's.  One file per
// platform: platform_posix.cpp, platform_windows.cpp.
#ifndef ORVANE_CHECK_PLATFORM_H
#define ORVANE_CHECK_PLATFORM_H

#include <string>

// True for an existing file (not a directory) this user may run.
bool is_runnable_file(const std::string &path);

bool output_is_terminal();

// Standard output as raw bytes (Windows would otherwise turn each LF into CR LF again).
void prepare_output();

// A new, empty file in the temporary directory; empty when none can be made.
std::string make_temp_file();

// The directory of a program's real path (symlinks resolved), without a separator at the end:
// where that program finds its config.ini.  Empty when unknown.
std::string real_directory_of(const std::string &program);

// The line end of the companion's own lines: CR LF on Windows, as the program's console.
extern const char *const kLineEnd;

#endif
