// SPDX-License-Identifier: Apache-2.0
// A 1 MB firmware download to flash in usb mode (or evk mode, through the simulated probe)
// against the simulator.
//
// The floor of the flash-writer protocol is one 1 ms busy wait per command (each command
// polls the execute flag with a 1 ms wait in between), so the figure that matters is the
// wall time of the download divided by (number of writer commands x a 1 ms busy wait), both
// measured in this run.  With realistic timings (sector erase 40 ms, page program 2 ms, set
// here explicitly) the floor is one busy wait of max(1 ms, the writer's time) per command.
// Also prints the program's CPU time (user and system) as a share of its wall time, which stays
// low when its waits sleep, and its peak resident memory.
//
// Usage: download_bench [directory holding Orvane, config.ini, writer/ and zk32-sim ("": the
//                        build's)] [usb|evk]
#include <sys/resource.h>
#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bench_support.h"
#include "base/console.h"

namespace {

constexpr size_t kImageSize = 1048576;
constexpr uint32_t kRealEraseMs = 40;
constexpr uint32_t kRealProgramMs = 2;

using bench::now_ms;
using bench::read_file;

// Writer commands in the decoded trace ("writer C ADDR LEN"), by command letter.
struct command_counts {
  long erases = 0;
  long programs = 0;
  long others = 0;
  long total() const { return erases + programs + others; }
};

command_counts count_writer_commands(const std::string &trace) {
  command_counts counts;
  size_t at = 0;
  while (at < trace.size()) {
    size_t end = trace.find('\n', at);
    if (end == std::string::npos) end = trace.size();
    if (trace.compare(at, 7, "writer ") == 0 && at + 7 < trace.size()) {
      char code = trace[at + 7];
      if (code == 'M') {
        ++counts.erases;
      } else if (code == 'A') {
        ++counts.programs;
      } else {
        ++counts.others;
      }
    }
    at = end + 1;
  }
  return counts;
}

struct figures {
  bool ok;
  double wall_ms;
  double floor_ms;
  long commands;
  long max_rss_kb;
  double cpu_ms;
};

figures measure(const std::string &bin, const std::string &work, const std::string &timing,
                 const std::string &mode) {
  figures f{false, 0, 0, 0, 0, 0};
  std::string sim = bin + "/zk32-sim";
  std::string sim_dir = work + "/sim-" + timing;
  mkdir(sim_dir.c_str(), 0700);
  std::string log = work + "/sim.log";
  if (bench::simulator(sim, "start", sim_dir, {"--mode", mode, "--type", "1", "--timing", timing},
                       log) != 0) {
    std::printf("zk32-sim did not start: %s\n", read_file(log).c_str());
    return f;
  }
  const bool real = timing == "real";
  const uint32_t erase_ms = real ? kRealEraseMs : 0;
  const uint32_t program_ms = real ? kRealProgramMs : 0;
  bench::simulator(sim, "ctl", sim_dir, {"set", "writer-erase-ms", std::to_string(erase_ms)}, log);
  bench::simulator(sim, "ctl", sim_dir, {"set", "writer-program-ms", std::to_string(program_ms)},
                   log);
  bench::simulator(sim, "ctl", sim_dir, {"trace-clear"}, log);

  std::string out = work + "/out-" + timing + ".txt";
  child_usage usage;
  double start = now_ms();
  std::vector<std::string> command = {bin + "/Orvane", "4710", "wf", "0", "-i", work + "/image.bin"};
  if (mode == "usb") command.push_back("-u");
  bench::run(command, sim_dir, out, &usage);
  f.wall_ms = now_ms() - start;
  f.max_rss_kb = usage.peak_memory_kb;
  f.cpu_ms = usage.cpu_seconds * 1000.0;
  f.ok = read_file(out).find(" File Download to 0x000000: 1048576 bytes \t\n") !=
         std::string::npos;
  if (!f.ok) std::printf("download failed (%s timing):\n%s\n", timing.c_str(), read_file(out).c_str());

  std::string trace = work + "/trace.txt";
  bench::simulator(sim, "ctl", sim_dir, {"trace"}, trace);
  command_counts counts = count_writer_commands(read_file(trace));
  f.commands = counts.total();
  bench::simulator(sim, "stop", sim_dir, {}, log);

  // The floor, measured now: per writer command one busy wait of max(1 ms, its writer time).
  double floor_start = now_ms();
  for (long i = 0; i < counts.erases; ++i) wait_ms(erase_ms > 1 ? erase_ms : 1);
  for (long i = 0; i < counts.programs; ++i) wait_ms(program_ms > 1 ? program_ms : 1);
  for (long i = 0; i < counts.others; ++i) wait_ms(1);
  f.floor_ms = now_ms() - floor_start;
  return f;
}

}  // namespace

int main(int argc, char **argv) {
  std::string bin = argc > 1 && argv[1][0] != '\0' ? argv[1] : bench::built_bin_dir();
  std::string mode = argc > 2 ? argv[2] : "usb";
  if (mode != "usb" && mode != "evk") {
    std::printf("usage: download_bench [BIN_DIR] [usb|evk]\n");
    return 2;
  }
  std::string work = bench::make_temp_dir("orvane-download-bench");
  if (work.empty()) return 1;
  if (!bench::write_image(work + "/image.bin", kImageSize)) return 1;

  std::printf("1 MB download to flash, %s mode, MCU type 1\n", mode.c_str());
  int failures = 0;
  for (const char *timing : {"zero", "real"}) {
    figures f = measure(bin, work, timing, mode);
    if (!f.ok) ++failures;
    std::printf("  %-4s timing: wall %8.1f ms, floor %8.1f ms (%ld writer commands), "
                "ratio %.3f, CPU %.1f ms (%.1f%% of wall), peak memory %ld KB\n",
                timing, f.wall_ms, f.floor_ms, f.commands, f.wall_ms / f.floor_ms, f.cpu_ms,
                100.0 * f.cpu_ms / f.wall_ms, f.max_rss_kb);
  }
  rusage children{};
  getrusage(RUSAGE_CHILDREN, &children);
  std::printf("  largest child (RUSAGE_CHILDREN ru_maxrss): %ld KB\n", children.ru_maxrss);
  bench::remove_tree(work);
  return failures == 0 ? 0 : 1;
}
