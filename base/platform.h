// SPDX-License-Identifier: Apache-2.0
// The program's few platform calls: its own directory, a millisecond clock and a sleep, and
// file opening.  Tests replace the clock, the sleep and the program's path (as the library's
// clock.h lets them), so time-outs run at once and a run in-process finds its own install.
#ifndef ORVANE_BASE_PLATFORM_H
#define ORVANE_BASE_PLATFORM_H

#include <cstddef>
#include <cstdint>
#include <cstdio>

// The program's full path (the resolved executable, as GetModuleFileNameA gives it), written
// into buffer with at most size - 1 characters and a terminator.  Returns the length, or 0.
std::size_t program_path(char *buffer, std::size_t size);

// The program's directory: the full path cut at its last separator (the separator dropped),
// or the folder ORVANE_CONFIG_DIR names when that is set and not empty (the simulator's chip
// table for the installed program).  Returns false when the directory does not fit in
// size - 1 characters.
bool program_directory(char *buffer, std::size_t size);

// Milliseconds of a monotonic clock, as an unsigned 32-bit value that wraps (timeGetTime).
uint32_t clock_ms();

// A real sleep of the given milliseconds (Sleep).
void sleep_ms(uint32_t milliseconds);

// Gives the processor away until clock_ms() reaches deadline, or less: the caller looks at
// the clock again.  A deadline not ahead of the clock by less than 2^31 has been reached
// (wrap-safe).  POSIX: an absolute sleep on the monotonic clock to the start of that
// millisecond, with the timer slack lowered so the wake-up is not late.  Windows: returns at
// once, so the caller spins: the default timer sleeps in steps of 15.6 ms, far coarser than
// the one-millisecond waits of the flash writer's protocol.  With a test clock in place, the
// test's sleep is given the milliseconds left (none given: returns at once).
void sleep_until_clock_ms(uint32_t deadline);

// Test hooks: use these instead (nullptr restores the real ones).
void override_clock(uint32_t (*clock)(), void (*sleep)(uint32_t milliseconds));
void override_program_path(const char *path);

// Opens a file whose path may use backslashes as separators (paths from config.ini and paths
// built from the program directory).  On POSIX each backslash acts as '/'.  Same as fopen.
std::FILE *open_native(const char *path, const char *mode);

// Opens an existing regular file for reading ("rb"); nullptr for anything else (a folder, a
// FIFO, a device such as /dev/zero), without waiting on it.  open_input_file uses the path
// exactly as given (paths the user types); open_native_input_file as open_native does.
std::FILE *open_input_file(const char *path);
std::FILE *open_native_input_file(const char *path);

#endif
