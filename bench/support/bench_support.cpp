#include "bench_support.h"

#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <filesystem>

#include "support/child_process.h"

namespace bench {

double now_ms() {
  using namespace std::chrono;
  return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

std::string make_work_dir(const std::string &name) {
  std::string pattern = "/tmp/" + name + "-XXXXXX";
  return mkdtemp(&pattern[0]) != nullptr ? pattern : std::string();
}

void remove_tree(const std::string &path) {
  std::error_code ec;
  if (!path.empty()) std::filesystem::remove_all(path, ec);
}

std::string read_text(const std::string &path) {
  std::string text;
  if (FILE *f = std::fopen(path.c_str(), "rb")) {
    char buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, n);
    std::fclose(f);
  }
  return text;
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

child_process::Options options_for(const std::string &sim_dir, Streams streams) {
  child_process::Options options;
  options.env_set = {{"ZK32_SIM_DIR", sim_dir}};
  options.env_unset = {"ZK32_SIM_TCP"};
  options.with_stderr = streams == Streams::out_and_err;
  return options;
}

}  // namespace

int run(const std::vector<std::string> &argv, const std::string &sim_dir,
        const std::string &out_path, rusage *usage, Streams streams) {
  return child_process::run_to_file(argv, out_path, options_for(sim_dir, streams), usage);
}

int start(const std::vector<std::string> &argv, const std::string &sim_dir,
          const std::string &out_path,
          const std::vector<std::pair<std::string, std::string>> &env) {
  child_process::Options options = options_for(sim_dir, Streams::out_and_err);
  options.env_set.insert(options.env_set.end(), env.begin(), env.end());
  return child_process::start_to_file(argv, out_path, options);
}

int finish(int pid, rusage *usage) { return child_process::wait_for(pid, usage); }

double cpu_seconds(const rusage &usage) {
  return double(usage.ru_utime.tv_sec) + double(usage.ru_stime.tv_sec) +
         (double(usage.ru_utime.tv_usec) + double(usage.ru_stime.tv_usec)) / 1e6;
}

int simulator(const std::string &sim_program, const std::string &verb, const std::string &sim_dir,
              const std::vector<std::string> &args, const std::string &out_path) {
  std::vector<std::string> argv = {sim_program, verb, "--dir", sim_dir};
  argv.insert(argv.end(), args.begin(), args.end());
  return run(argv, sim_dir, out_path);
}

}  // namespace bench
