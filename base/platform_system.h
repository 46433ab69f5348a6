// What each platform file (platform_posix.cpp, platform_windows.cpp) provides underneath the
// replaceable calls of platform.h.  For base/ only.
#ifndef ORVANE_BASE_PLATFORM_SYSTEM_H
#define ORVANE_BASE_PLATFORM_SYSTEM_H

#include <cstddef>
#include <cstdint>

std::size_t system_program_path(char *buffer, std::size_t size);
uint32_t system_clock_ms();
void system_sleep_ms(uint32_t milliseconds);
void system_sleep_until_clock_ms(uint32_t deadline);

#endif
