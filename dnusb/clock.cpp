// SPDX-License-Identifier: Apache-2.0
// The library's millisecond clock and pause (see clock.h).
#include "clock.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <errno.h>
#include <time.h>
#endif

namespace {

uint32_t (*tick_hook)(void) = nullptr;
void (*sleep_hook)(uint32_t) = nullptr;

}  // namespace

uint32_t dn_tick_count(void) {
  if (tick_hook != nullptr) return tick_hook();
#if defined(_WIN32)
  return GetTickCount();
#else
  struct timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  uint64_t ms = static_cast<uint64_t>(now.tv_sec) * 1000u +
                static_cast<uint64_t>(now.tv_nsec) / 1000000u;
  return static_cast<uint32_t>(ms);
#endif
}

void dn_sleep_ms(uint32_t ms) {
  if (sleep_hook != nullptr) {
    sleep_hook(ms);
    return;
  }
#if defined(_WIN32)
  Sleep(ms);
#else
  struct timespec wait;
  wait.tv_sec = static_cast<time_t>(ms / 1000u);
  wait.tv_nsec = static_cast<long>(ms % 1000u) * 1000000L;
  while (nanosleep(&wait, &wait) != 0 && errno == EINTR) {
  }
#endif
}

uint64_t dn_monotonic_us(void) {
#if defined(_WIN32)
  LARGE_INTEGER frequency, now;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&now);
  return static_cast<uint64_t>(now.QuadPart / frequency.QuadPart * 1000000 +
                               now.QuadPart % frequency.QuadPart * 1000000 / frequency.QuadPart);
#else
  struct timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<uint64_t>(now.tv_sec) * 1000000u + static_cast<uint64_t>(now.tv_nsec) / 1000u;
#endif
}

void dn_pause_us(uint32_t us) {
  if (us == 0 || tick_hook != nullptr || sleep_hook != nullptr) return;
#if defined(_WIN32)
  Sleep(us >= 1000u ? us / 1000u : 0u);  // 0 gives up the rest of the time slice
#else
  struct timespec wait;
  wait.tv_sec = static_cast<time_t>(us / 1000000u);
  wait.tv_nsec = static_cast<long>(us % 1000000u) * 1000L;
  nanosleep(&wait, nullptr);  // a signal only shortens one pause
#endif
}

void dn_clock_override(uint32_t (*tick)(void), void (*sleep)(uint32_t ms)) {
  tick_hook = tick;
  sleep_hook = sleep;
}
