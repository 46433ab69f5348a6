// SPDX-License-Identifier: Apache-2.0
// The console message printer and the millisecond wait, used throughout the program.
#ifndef ORVANE_BASE_CONSOLE_H
#define ORVANE_BASE_CONSOLE_H

#include <cstdint>

#include "base/messages.h"

// printf to standard output, flushed at once.  The program prints only the lines of the
// message table (base/messages.h), through say() and fail(), which print through here.
int print_message(const char *format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

// Prints the table's line id with its arguments (printf, as the line's format says).
void say(msg id, ...);
// The same for a failure or refusal line, returned as the outcome of the operation it ends.
outcome fail(msg id, ...);

// Waits until the millisecond clock has advanced by at least count (unsigned arithmetic, so a
// wrap of the 32-bit clock does no harm).  On POSIX the process sleeps meanwhile; on Windows
// it spins (base/platform.h, sleep_until_clock_ms).
void wait_ms(uint32_t count);

#endif
