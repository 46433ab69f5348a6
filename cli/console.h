// The console message printer and the two small services used throughout the program.
#ifndef ORVANE_CLI_CONSOLE_H
#define ORVANE_CLI_CONSOLE_H

#include <cstdint>

// printf to standard output, flushed at once; every console line goes through here.
int print_message(const char *format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

// Busy wait on the millisecond clock until count milliseconds have passed (wrap-safe).
void wait_ms(uint32_t count);

// Returns a 256-character buffer holding text with every occurrence of pattern replaced by
// replacement, cut at 255 characters.  The buffer is the function's own and stays valid until
// the next call (the program makes one per run).
const char *replace_all(const char *text, const char *pattern, const char *replacement);

#endif
