// SPDX-License-Identifier: Apache-2.0
// The program's platform calls on Linux and macOS.
#include "base/platform.h"
#include "base/platform_system.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>

#if defined(__APPLE__)
#include <mach-o/dyld.h>
#endif
#if defined(__linux__)
#include <sys/prctl.h>
#endif

namespace {

// Resolves the running executable (symlinks included) into a malloc'ed path, or nullptr.
char *resolved_executable() {
#if defined(__APPLE__)
  char raw[PATH_MAX];
  uint32_t raw_size = sizeof raw;
  if (_NSGetExecutablePath(raw, &raw_size) != 0) return nullptr;
  return realpath(raw, nullptr);
#else
  // The link names the real file, so config.ini is found beside the program even when it is
  // started through a symlink.
  return realpath("/proc/self/exe", nullptr);
#endif
}

}  // namespace

std::size_t system_program_path(char *buffer, std::size_t size) {
  if (buffer == nullptr || size == 0) return 0;
  buffer[0] = '\0';
  char *resolved = resolved_executable();
  if (resolved == nullptr) return 0;
  std::size_t length = std::strlen(resolved);
  if (length >= size) {
    std::free(resolved);
    return 0;
  }
  std::memcpy(buffer, resolved, length + 1);
  std::free(resolved);
  return length;
}

bool program_directory(char *buffer, std::size_t size) {
  char full[PATH_MAX + 1];
  if (buffer == nullptr || size == 0) return false;
  buffer[0] = '\0';
  if (configured_program_directory(buffer, size)) return buffer[0] != '\0';
  if (program_path(full, sizeof full) == 0) return false;
  char *cut = std::strrchr(full, '/');
  if (cut == nullptr) return false;
  std::size_t length = static_cast<std::size_t>(cut - full);
  if (length >= size) return false;
  std::memcpy(buffer, full, length);
  buffer[length] = '\0';
  return true;
}

namespace {

uint64_t monotonic_ms() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
}

// The kernel may defer a sleeper's wake-up by its timer slack (50 us by default) to group
// wake-ups; against one-millisecond waits that is a 5% loss, so the slack is cut to 1 us.
void lower_timer_slack() {
#if defined(__linux__)
  static bool lowered = false;
  if (!lowered) {
    prctl(PR_SET_TIMERSLACK, 1000UL, 0UL, 0UL, 0UL);
    lowered = true;
  }
#endif
}

}  // namespace

uint32_t system_clock_ms() { return static_cast<uint32_t>(monotonic_ms()); }

void system_sleep_until_clock_ms(uint32_t deadline) {
  lower_timer_slack();
  uint64_t now = monotonic_ms();
  uint32_t ahead = deadline - static_cast<uint32_t>(now);
  if (ahead == 0 || ahead >= 0x80000000u) return;
  // The clock's value reaches deadline at the start of millisecond now + ahead.
  uint64_t wake = now + ahead;
  timespec at{};
  at.tv_sec = static_cast<time_t>(wake / 1000u);
  at.tv_nsec = static_cast<long>(wake % 1000u) * 1000000L;
#if defined(__APPLE__)
  // No absolute sleep on macOS: sleep for what is left; the caller checks the clock.
  timespec now_exact{};
  clock_gettime(CLOCK_MONOTONIC, &now_exact);
  int64_t left_ns = (static_cast<int64_t>(at.tv_sec) - now_exact.tv_sec) * 1000000000LL +
                    (at.tv_nsec - now_exact.tv_nsec);
  if (left_ns <= 0) return;
  timespec left{static_cast<time_t>(left_ns / 1000000000LL),
                static_cast<long>(left_ns % 1000000000LL)};
  nanosleep(&left, nullptr);
#else
  // A signal cuts the sleep short; the deadline is absolute, so sleep on to the same one.
  while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, nullptr) == EINTR) {
  }
#endif
}

void system_sleep_ms(uint32_t milliseconds) {
  timespec remaining{};
  remaining.tv_sec = static_cast<time_t>(milliseconds / 1000u);
  remaining.tv_nsec = static_cast<long>(milliseconds % 1000u) * 1000000L;
  // A signal cuts the sleep short; sleep on for what is left.
  while (nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
  }
}

namespace {

// Paths from config.ini and those built from the program directory are written with
// backslashes; here each one is a directory separator.  False when the path is too long.
bool native_to_local(const char *path, char (&local)[PATH_MAX]) {
  std::size_t length = std::strlen(path);
  if (length >= sizeof local) {
    errno = ENAMETOOLONG;
    return false;
  }
  for (std::size_t i = 0; i <= length; ++i) local[i] = path[i] == '\\' ? '/' : path[i];
  return true;
}

}  // namespace

std::FILE *open_native(const char *path, const char *mode) {
  char local[PATH_MAX];
  if (!native_to_local(path, local)) return nullptr;
  return std::fopen(local, mode);
}

std::FILE *open_input_file(const char *path) {
  // Without O_NONBLOCK opening a FIFO waits for a writer, possibly for ever; the type is
  // looked at on the open descriptor, so what is read is what was checked.
  int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct stat info {};
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    close(fd);
    errno = EINVAL;
    return nullptr;
  }
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  std::FILE *file = fdopen(fd, "rb");
  if (file == nullptr) close(fd);
  return file;
}

std::FILE *open_native_input_file(const char *path) {
  char local[PATH_MAX];
  if (!native_to_local(path, local)) return nullptr;
  return open_input_file(local);
}
