// The console message printer and the millisecond wait, used throughout the program.
#ifndef ORVANE_BASE_CONSOLE_H
#define ORVANE_BASE_CONSOLE_H

#include <cstdint>

// printf to standard output, flushed at once; every console line goes through here.
int print_message(const char *format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

// Waits until the millisecond clock has advanced by at least count (unsigned arithmetic, so a
// wrap of the 32-bit clock does no harm).  On POSIX the process sleeps meanwhile; on Windows
// it spins (base/platform.h, sleep_until_clock_ms).
void wait_ms(uint32_t count);


#endif
