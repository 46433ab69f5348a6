// SPDX-License-Identifier: Apache-2.0
// The library's clock and pause: GetTickCount and Sleep on Windows, a monotonic clock and
// nanosleep elsewhere.  Tests replace both so that time-outs and fixed waits run instantly.
#ifndef DNUSB_CLOCK_H
#define DNUSB_CLOCK_H

#include <stdint.h>

// Milliseconds since an arbitrary start, wrapping at 32 bits like GetTickCount.
uint32_t dn_tick_count(void);

// Pauses for ms milliseconds.
void dn_sleep_ms(uint32_t ms);

// Microseconds on a monotonic clock, for pacing polls (never replaced by tests).
uint64_t dn_monotonic_us(void);

// Pauses for about us microseconds (at least one scheduler tick on Windows): the pause between
// two polls of a device.  Does nothing while a test's clock is installed.
void dn_pause_us(uint32_t us);

// Test hook: use these instead (NULL restores the real one).
void dn_clock_override(uint32_t (*tick)(void), void (*sleep)(uint32_t ms));

#endif
