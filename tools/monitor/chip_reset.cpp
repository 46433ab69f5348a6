// SPDX-License-Identifier: Apache-2.0
// Orvane runs through the system's command processor (popen), with its console read back:
// its exit status is 0 whatever happened, so the outcome is its console line.  The chip name
// is limited to the characters of a config.ini chip name, and the program path is quoted, so
// nothing the user types reaches the command processor as syntax.
#include "chip_reset.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "base/platform.h"

#if defined(_WIN32)
#define popen _popen
#define pclose _pclose
#endif

namespace {

bool is_file(const std::string &path) {
  std::FILE *file = open_input_file(path.c_str());
  if (file == nullptr) return false;
  std::fclose(file);
  return true;
}

// The program to run, quoted for the command processor: the orvane beside this program's
// real path (the build folder and an installed bin/ hold one), else "orvane" from PATH.
std::string orvane_command() {
  char self[4096];
  std::string dir;
  if (program_path(self, sizeof self) > 0) {
    dir = self;
    size_t cut = dir.find_last_of("/\\");
    dir = cut == std::string::npos ? std::string() : dir.substr(0, cut + 1);
  }
#if defined(_WIN32)
  const char *const names[] = {"Orvane.exe", "orvane.exe"};
#else
  const char *const names[] = {"orvane", "Orvane"};
#endif
  for (const char *name : names) {
    std::string path = dir + name;
    if (dir.empty() || !is_file(path)) continue;
#if defined(_WIN32)
    if (path.find('"') == std::string::npos) return "\"" + path + "\"";
#else
    std::string quoted = "'";
    for (char c : path) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
#endif
  }
  return "orvane";
}

}  // namespace

bool plain_chip_name(const char *chip) {
  size_t n = std::strlen(chip);
  if (n == 0 || n > 31) return false;
  for (size_t i = 0; i < n; ++i) {
    char c = chip[i];
    bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                 c == '.' || c == '_' || c == '-';
    if (!plain) return false;
  }
  return chip[0] != '-';
}

bool run_orvane_word(const char *chip, const char *word, bool usb, const char *success_line,
                     char *error, size_t error_size) {
  std::string command = orvane_command() + " " + chip + " " + word + (usb ? " -u" : "");
#if defined(_WIN32)
  // cmd.exe drops the outer pair of quotes when the line begins with one.
  command = "\"" + command + "\"";
#endif
  command += " 2>&1";
  std::FILE *pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) {
    std::snprintf(error, error_size, "cannot run orvane");
    return false;
  }
  std::string out;
  char piece[512];
  size_t got;
  while ((got = std::fread(piece, 1, sizeof piece, pipe)) > 0) out.append(piece, got);
  int status = pclose(pipe);
  bool ok = false;
  std::string last;
  size_t start = 0;
  while (start < out.size()) {
    size_t end = out.find('\n', start);
    if (end == std::string::npos) end = out.size();
    std::string line = out.substr(start, end - start);
    if (line.compare(0, std::strlen(success_line), success_line) == 0) ok = true;
    while (!line.empty() && (line.back() == ' ' || line.back() == '\t' || line.back() == '\r'))
      line.pop_back();
    size_t first = line.find_first_not_of(" \t");
    if (first != std::string::npos) last = line.substr(first);
    start = end + 1;
  }
  if (!ok) {
    std::snprintf(error, error_size, "%s",
                  !last.empty() ? last.c_str()
                  : status != 0 ? "orvane could not be run"
                                : "orvane printed nothing");
  }
  return ok;
}
