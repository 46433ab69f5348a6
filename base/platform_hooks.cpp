// SPDX-License-Identifier: Apache-2.0
// The replaceable platform calls: the system's own unless a test has put its own in place.
#include <cstdlib>
#include <cstring>

#include "base/platform.h"
#include "base/platform_system.h"

namespace {

uint32_t (*clock_hook)() = nullptr;
void (*sleep_hook)(uint32_t) = nullptr;
const char *program_path_hook = nullptr;

}  // namespace

uint32_t clock_ms() { return clock_hook != nullptr ? clock_hook() : system_clock_ms(); }

void sleep_ms(uint32_t milliseconds) {
  if (sleep_hook != nullptr) {
    sleep_hook(milliseconds);
    return;
  }
  system_sleep_ms(milliseconds);
}

void sleep_until_clock_ms(uint32_t deadline) {
  if (clock_hook == nullptr && sleep_hook == nullptr) {
    system_sleep_until_clock_ms(deadline);
    return;
  }
  uint32_t ahead = deadline - clock_ms();
  if (ahead == 0 || ahead >= 0x80000000u || sleep_hook == nullptr) return;
  sleep_hook(ahead);
}

std::size_t program_path(char *buffer, std::size_t size) {
  if (program_path_hook == nullptr) return system_program_path(buffer, size);
  if (buffer == nullptr || size == 0) return 0;
  buffer[0] = '\0';
  std::size_t length = std::strlen(program_path_hook);
  if (length >= size) return 0;
  std::memcpy(buffer, program_path_hook, length + 1);
  return length;
}

bool configured_program_directory(char *buffer, std::size_t size) {
  // The simulator's chip table is installed apart from the program; this lets the installed
  // program use it without a copy of the program beside it.
  const char *chosen = std::getenv("ORVANE_CONFIG_DIR");
  if (chosen == nullptr || chosen[0] == '\0') return false;
  std::size_t length = std::strlen(chosen);
  while (length > 1 && (chosen[length - 1] == '/' || chosen[length - 1] == '\\')) --length;
  buffer[0] = '\0';
  if (length >= size) return true;
  std::memcpy(buffer, chosen, length);
  buffer[length] = '\0';
  return true;
}

void override_clock(uint32_t (*clock)(), void (*sleep)(uint32_t milliseconds)) {
  clock_hook = clock;
  sleep_hook = sleep;
}

void override_program_path(const char *path) { program_path_hook = path; }
