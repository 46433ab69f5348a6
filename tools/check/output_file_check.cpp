// SPDX-License-Identifier: Apache-2.0
#include "tools/check/output_file_check.h"

#include <cstdio>

std::string read_output_file(const std::vector<std::string> &args) {
  if (args.size() < 2) return std::string();
  const std::string &word = args[1];
  if (word != "rf" && word != "rc" && word != "ra") return std::string();
  std::string path;
  // The read commands' options begin after the address; "-o" as the last word names no file.
  for (std::size_t i = 3; i + 1 < args.size(); ++i) {
    if (args[i] == "-o") path = args[i + 1];
  }
  return path;
}

bool output_file_creatable(const std::string &path) {
  std::FILE *existing = std::fopen(path.c_str(), "rb");
  const bool existed = existing != nullptr;
  if (existing != nullptr) std::fclose(existing);
  std::FILE *file = std::fopen(path.c_str(), "ab");
  if (file == nullptr) return false;
  std::fclose(file);
  if (!existed) std::remove(path.c_str());
  return true;
}
