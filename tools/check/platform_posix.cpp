// SPDX-License-Identifier: Apache-2.0
// The companion's platform calls on Linux and macOS.
#include "tools/check/platform.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

const char *const kLineEnd = "\n";

bool is_runnable_file(const std::string &path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(path.c_str(), X_OK) == 0;
}

bool output_is_terminal() { return isatty(1) != 0; }

void prepare_output() {
  // A reader that goes away ends the companion quietly; Orvane then meets the closed pipe.
  signal(SIGPIPE, SIG_DFL);
}

std::string make_temp_file() {
  const char *dir = std::getenv("TMPDIR");
  std::string pattern = std::string(dir != nullptr && *dir != '\0' ? dir : "/tmp") +
                        "/orvane-check-XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  const int fd = mkstemp(name.data());
  if (fd < 0) return std::string();
  close(fd);
  return std::string(name.data());
}

std::string real_directory_of(const std::string &program) {
  char *resolved = realpath(program.c_str(), nullptr);
  if (resolved == nullptr) return std::string();
  std::string path(resolved);
  std::free(resolved);
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}
