// The console message printer and the millisecond busy wait, used throughout the program.
#ifndef ORVANE_BASE_CONSOLE_H
#define ORVANE_BASE_CONSOLE_H

#include <cstdint>

// printf to standard output, flushed at once; every console line goes through here.
int print_message(const char *format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

// Busy wait on the millisecond clock until count milliseconds have passed (wrap-safe).
void wait_ms(uint32_t count);


#endif
