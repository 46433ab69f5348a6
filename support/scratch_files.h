// SPDX-License-Identifier: Apache-2.0
// Scratch files for the tests and the benchmarks: a fresh temporary directory, whole files
// written and read back, a tree removed.  Failures give an empty result, never an exception:
// the caller's own check says what went wrong.
#ifndef ORVANE_SUPPORT_SCRATCH_FILES_H
#define ORVANE_SUPPORT_SCRATCH_FILES_H

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace scratch_files {

// A fresh, empty directory <temp>/<prefix>-XXXXXX (removed by the owner); empty on failure.
inline std::string make_temp_dir(const std::string &prefix = "orvane-test") {
  std::error_code ec;
  std::filesystem::path temp = std::filesystem::temp_directory_path(ec);
  if (ec) temp = "/tmp";
  std::string pattern = (temp / (prefix + "-XXXXXX")).string();
  return mkdtemp(&pattern[0]) != nullptr ? pattern : std::string();
}

inline void remove_tree(const std::string &path) {
  std::error_code ec;
  if (!path.empty()) std::filesystem::remove_all(path, ec);
}

inline void write_file(const std::string &path, const std::string &content) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f.write(content.data(), static_cast<std::streamsize>(content.size()));
}

inline std::string read_file(const std::string &path) {
  std::ifstream f(path, std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

inline bool file_exists(const std::string &path) {
  std::error_code ec;
  return std::filesystem::exists(path, ec);
}

}  // namespace scratch_files

#endif
