// SPDX-License-Identifier: Apache-2.0
// The companion's platform calls on Windows (running Orvane is base/child_process.h's).
#include "tools/check/platform.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <string>

const char *const kLineEnd = "\r\n";

bool is_runnable_file(const std::string &path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool output_is_terminal() { return _isatty(_fileno(stdout)) != 0; }

void prepare_output() { _setmode(_fileno(stdout), _O_BINARY); }

std::string make_temp_file() {
  char dir[MAX_PATH + 1];
  char name[MAX_PATH + 1];
  const DWORD length = GetTempPathA(sizeof dir, dir);
  if (length == 0 || length > MAX_PATH) return std::string();
  if (GetTempFileNameA(dir, "ovc", 0, name) == 0) return std::string();
  return std::string(name);
}

std::string real_directory_of(const std::string &program) {
  char path[MAX_PATH + 1];
  const DWORD length = GetFullPathNameA(program.c_str(), MAX_PATH, path, nullptr);
  if (length == 0 || length >= MAX_PATH) return std::string();
  std::string text(path, length);
  const std::size_t separator = text.find_last_of("\\/");
  return separator == std::string::npos ? std::string() : text.substr(0, separator);
}
