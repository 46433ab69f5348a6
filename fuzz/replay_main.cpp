// SPDX-License-Identifier: Apache-2.0
// Replays fuzz inputs without libFuzzer: every file named, and every file in every folder
// named, goes once through LLVMFuzzerTestOneInput.  A fault aborts the run; CTest sees it.
#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);
extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv) __attribute__((weak));

namespace {

bool is_directory(const std::string &path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// A folder that does not exist holds no inputs (git keeps no empty folder).
void collect(const std::string &path, std::vector<std::string> *files) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) return;
  if (!is_directory(path)) {
    files->push_back(path);
    return;
  }
  DIR *dir = opendir(path.c_str());
  if (dir == nullptr) return;
  while (dirent *entry = readdir(dir)) {
    std::string name = entry->d_name;
    if (name != "." && name != ".." && name[0] != '.') files->push_back(path + "/" + name);
  }
  closedir(dir);
}

bool replay(const std::string &path) {
  std::FILE *file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return false;
  std::vector<uint8_t> data;
  uint8_t chunk[4096];
  for (size_t got; (got = std::fread(chunk, 1, sizeof chunk, file)) > 0;)
    data.insert(data.end(), chunk, chunk + got);
  std::fclose(file);
  LLVMFuzzerTestOneInput(data.data(), data.size());
  return true;
}

}  // namespace

int main(int argc, char **argv) {
  if (LLVMFuzzerInitialize != nullptr) LLVMFuzzerInitialize(&argc, &argv);
  std::vector<std::string> files;
  for (int i = 1; i < argc; ++i) collect(argv[i], &files);
  std::sort(files.begin(), files.end());
  int replayed = 0;
  for (const std::string &path : files) {
    if (!replay(path)) {
      std::fprintf(stderr, "cannot read %s\n", path.c_str());
      return 1;
    }
    ++replayed;
  }
  std::fprintf(stderr, "%d inputs replayed\n", replayed);
  return replayed > 0 ? 0 : 1;
}
