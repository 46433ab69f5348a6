// SPDX-License-Identifier: Apache-2.0
// What each platform file (platform_posix.cpp, platform_windows.cpp) provides underneath the
// replaceable calls of platform.h.  For base/ only.
#ifndef ORVANE_BASE_PLATFORM_SYSTEM_H
#define ORVANE_BASE_PLATFORM_SYSTEM_H

#include <cstddef>
#include <cstdint>

std::size_t system_program_path(char *buffer, std::size_t size);
uint32_t system_clock_ms();

// ORVANE_CONFIG_DIR, when set and not empty: the folder that stands in for the program's own
// as the place of config.ini, the flash writers and user/Read.bin (trailing separators
// dropped).  True when it is set, with buffer left empty when it does not fit in size - 1
// characters (no folder at all, rather than another one); false when it is unset or empty:
// then the program's own folder holds, as always.
bool configured_program_directory(char *buffer, std::size_t size);
void system_sleep_ms(uint32_t milliseconds);
void system_sleep_until_clock_ms(uint32_t deadline);

#endif
