// SPDX-License-Identifier: Apache-2.0
#include "bench_support.h"

#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <filesystem>

#include "base/child_process.h"

namespace bench {

double now_ms() {
  using namespace std::chrono;
  return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

bool write_image(const std::string &path, size_t size) {
  std::vector<unsigned char> image(size);
  for (size_t i = 0; i < size; ++i) image[i] = static_cast<unsigned char>(i * 7 + (i >> 8));
  FILE *file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  bool written = std::fwrite(image.data(), 1, size, file) == size;
  return std::fclose(file) == 0 && written;
}

std::string built_bin_dir() { return ORVANE_BIN_DIR; }

namespace {

child_options options_for(const std::string &sim_dir, const std::string &out_path,
                          Streams streams) {
  child_options options;
  options.env_set = {"ZK32_SIM_DIR=" + sim_dir};
  options.env_unset = {"ZK32_SIM_TCP"};
  options.out_file = out_path;
  options.err_with_out = streams == Streams::out_and_err;
  options.null_input = true;
  options.search_path = true;
  return options;
}

int status_of(const child_result &child, child_usage *usage) {
  if (usage != nullptr) *usage = child.usage;
  return child.ended_normally || !child.started ? static_cast<int>(child.exit_code) : 128;
}

}  // namespace

int run(const std::vector<std::string> &argv, const std::string &sim_dir,
        const std::string &out_path, child_usage *usage, Streams streams) {
  return status_of(run_child(argv, options_for(sim_dir, out_path, streams)), usage);
}

int start(const std::vector<std::string> &argv, const std::string &sim_dir,
          const std::string &out_path,
          const std::vector<std::pair<std::string, std::string>> &env) {
  child_options options = options_for(sim_dir, out_path, Streams::out_and_err);
  for (const auto &entry : env) options.env_set.push_back(entry.first + "=" + entry.second);
  std::string error;
  return static_cast<int>(start_child(argv, options, &error));
}

int finish(int pid, child_usage *usage) {
  return pid < 0 ? 127 : status_of(finish_child(pid), usage);
}

int simulator(const std::string &sim_program, const std::string &verb, const std::string &sim_dir,
              const std::vector<std::string> &args, const std::string &out_path) {
  std::vector<std::string> argv = {sim_program, verb, "--dir", sim_dir};
  argv.insert(argv.end(), args.begin(), args.end());
  return run(argv, sim_dir, out_path);
}

}  // namespace bench
