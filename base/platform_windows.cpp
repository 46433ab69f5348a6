// SPDX-License-Identifier: Apache-2.0
// The program's platform calls on Windows: GetModuleFileNameA, timeGetTime (winmm), Sleep.
#include "base/platform.h"
#include "base/platform_system.h"

#include <sys/stat.h>
#include <sys/types.h>

#include <cstring>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <mmsystem.h>

namespace {

// GetModuleFileNameA is given a MAX_PATH buffer, as the program always has done.
constexpr DWORD kModulePathChars = MAX_PATH;

}  // namespace

std::size_t system_program_path(char *buffer, std::size_t size) {
  if (buffer == nullptr || size == 0) return 0;
  buffer[0] = '\0';
  DWORD capacity = size > kModulePathChars ? kModulePathChars : static_cast<DWORD>(size);
  DWORD length = GetModuleFileNameA(nullptr, buffer, capacity);
  // A path that does not fit comes back cut to capacity - 1 characters (length == capacity);
  // a cut path would name the wrong directory, so it counts as no path at all.
  if (length == 0 || length >= capacity) {
    buffer[0] = '\0';
    return 0;
  }
  return length;
}

bool program_directory(char *buffer, std::size_t size) {
  char full[kModulePathChars];
  if (buffer == nullptr || size == 0) return false;
  buffer[0] = '\0';
  if (configured_program_directory(buffer, size)) return buffer[0] != '\0';
  if (program_path(full, sizeof full) == 0) return false;
  // Windows writes backslashes; a forward slash is accepted as well, whichever comes last.
  char *cut = std::strrchr(full, '\\');
  char *slash = std::strrchr(full, '/');
  if (slash != nullptr && (cut == nullptr || slash > cut)) cut = slash;
  if (cut == nullptr) return false;
  std::size_t length = static_cast<std::size_t>(cut - full);
  if (length >= size) return false;
  std::memcpy(buffer, full, length);
  buffer[length] = '\0';
  return true;
}

uint32_t system_clock_ms() { return static_cast<uint32_t>(timeGetTime()); }

void system_sleep_ms(uint32_t milliseconds) { Sleep(milliseconds); }

void system_sleep_until_clock_ms(uint32_t) {}

// Windows takes backslashes as they are.
std::FILE *open_native(const char *path, const char *mode) { return std::fopen(path, mode); }

std::FILE *open_input_file(const char *path) {
  // Folders and devices (CON, NUL, pipes) are no input files.
  struct _stat64 info {};
  if (_stat64(path, &info) != 0 || (info.st_mode & _S_IFMT) != _S_IFREG) return nullptr;
  return std::fopen(path, "rb");
}

std::FILE *open_native_input_file(const char *path) { return open_input_file(path); }
