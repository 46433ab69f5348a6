// SPDX-License-Identifier: Apache-2.0
// Many boards from one host: the same 256 KB image downloaded to flash in 1, 2, 4 and 8
// simulated boards at once, one Orvane process per board, each picking its board with
// DNUSB_DEVICE, with the simulator's realistic timings (sector erase 40 ms, page program
// 2 ms).  For each count: the wall time from the first start to the last exit, the aggregate
// throughput as a ratio to N times one board's (measured in the same repetition), and the CPU
// seconds per board of the Orvane processes and of the simulators.  The load average is shown
// with each row: other work on the machine lowers the ratios.
//
// Usage: gang_bench [directory holding Orvane, config.ini, writer/ and zk32-sim ("": the
//                    build's)] [repeats] [usb|evk]
// The Orvane CPU share is its CPU time per board over the wall time: a wait that spins shows
// there (in evk mode each probe command is waited for by polling).
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench_support.h"

namespace {

constexpr size_t kImageSize = 256 * 1024;
const int kBoardCounts[] = {1, 2, 4, 8};

using bench::read_file;

std::string board_name(int n) { return "board-" + std::to_string(n); }

double load_average() {
  double load = 0;
  if (FILE *f = std::fopen("/proc/loadavg", "r")) {
    if (std::fscanf(f, "%lf", &load) != 1) load = 0;
    std::fclose(f);
  }
  return load;
}

// CPU seconds a running simulator has used so far, from its pid file and /proc.
double simulator_cpu(const std::string &sim_dir, int board) {
  int pid = std::atoi(read_file(sim_dir + "/" + board_name(board) + ".pid").c_str());
  std::string stat = read_file("/proc/" + std::to_string(pid) + "/stat");
  size_t close = stat.rfind(')');
  if (pid <= 0 || close == std::string::npos) return 0;
  // After the command name: state is field 3, utime and stime fields 14 and 15.
  unsigned long long utime = 0, stime = 0;
  if (std::sscanf(stat.c_str() + close + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %llu %llu",
                  &utime, &stime) != 2) {
    return 0;
  }
  return double(utime + stime) / double(sysconf(_SC_CLK_TCK));
}

struct gang_result {
  int boards_ok = 0;
  double wall_ms = 0;
  double orvane_cpu = 0;     // seconds, all boards
  double simulator_cpu = 0;  // seconds, all boards
  double load = 0;
};

gang_result flash_boards(const std::string &bin, const std::string &work, int boards,
                         const std::string &mode) {
  gang_result r;
  std::string sim = bin + "/zk32-sim";
  std::string sim_dir = work + "/sim-" + std::to_string(boards);
  mkdir(sim_dir.c_str(), 0700);
  std::string log = work + "/sim.log";
  std::vector<double> sim_before(boards + 1, 0);
  for (int b = 1; b <= boards; ++b) {
    if (bench::simulator(sim, "start", sim_dir,
                         {"--name", board_name(b), "--serial", "GANG-" + std::to_string(b),
                          "--mode", mode, "--type", "1", "--timing", "real"},
                         log) != 0) {
      std::printf("zk32-sim did not start: %s\n", read_file(log).c_str());
      bench::simulator(sim, "stop", sim_dir, {}, log);
      return r;
    }
    sim_before[b] = simulator_cpu(sim_dir, b);
  }
  r.load = load_average();
  std::vector<int> pids(boards + 1, -1);
  double start = bench::now_ms();
  for (int b = 1; b <= boards; ++b) {
    std::vector<std::string> command = {bin + "/Orvane", "4710", "wf", "0", "-i",
                                        work + "/image.bin"};
    if (mode == "usb") command.push_back("-u");
    pids[b] = bench::start(command, sim_dir, work + "/out-" + std::to_string(b) + ".txt",
                           {{"DNUSB_DEVICE", board_name(b)}});
  }
  for (int b = 1; b <= boards; ++b) {
    child_usage usage;
    bench::finish(pids[b], &usage);
    r.orvane_cpu += usage.cpu_seconds;
  }
  r.wall_ms = bench::now_ms() - start;
  for (int b = 1; b <= boards; ++b) {
    r.simulator_cpu += simulator_cpu(sim_dir, b) - sim_before[b];
    std::string out = read_file(work + "/out-" + std::to_string(b) + ".txt");
    if (out.find(" File Download to 0x000000: 262144 bytes \t\n") != std::string::npos) {
      ++r.boards_ok;
    } else {
      std::printf("%s failed:\n%s\n", board_name(b).c_str(), out.c_str());
    }
  }
  bench::simulator(sim, "stop", sim_dir, {}, log);
  return r;
}

}  // namespace

int main(int argc, char **argv) {
  std::string bin = argc > 1 && argv[1][0] != '\0' ? argv[1] : bench::built_bin_dir();
  int repeats = argc > 2 ? std::atoi(argv[2]) : 1;
  if (repeats < 1) repeats = 1;
  std::string mode = argc > 3 ? argv[3] : "usb";
  if (mode != "usb" && mode != "evk") {
    std::printf("usage: gang_bench [BIN_DIR] [REPEATS] [usb|evk]\n");
    return 2;
  }
  std::string work = bench::make_temp_dir("orvane-gang-bench");
  if (work.empty()) return 1;
  if (!bench::write_image(work + "/image.bin", kImageSize)) return 1;
  long cores = sysconf(_SC_NPROCESSORS_ONLN);
  std::printf("256 KB download to flash in N simulated boards at once (%s mode, MCU type 1,\n"
              "realistic timings), one Orvane per board chosen by DNUSB_DEVICE; %ld cores\n",
              mode.c_str(), cores);
  std::printf("  boards   wall ms   KB/s  ratio to N x one  Orvane CPU s/board  CPU share  "
              "sim CPU s/board  load  ok\n");
  int failures = 0;
  for (int rep = 0; rep < repeats; ++rep) {
    double single_ms = 0;
    for (int boards : kBoardCounts) {
      gang_result r = flash_boards(bin, work, boards, mode);
      if (r.boards_ok != boards) ++failures;
      if (boards == 1) single_ms = r.wall_ms;
      // Aggregate throughput over N times one board's: N x size / wall_N over N x size / wall_1.
      double ratio = r.wall_ms > 0 ? single_ms / r.wall_ms : 0;
      double share = r.wall_ms > 0 ? r.orvane_cpu / boards / (r.wall_ms / 1000.0) : 0;
      std::printf("  %6d  %8.0f  %5.1f  %16.3f  %18.3f  %9.3f  %15.3f  %4.2f  %d/%d\n", boards,
                  r.wall_ms, r.wall_ms > 0 ? boards * 256.0 * 1000.0 / r.wall_ms : 0, ratio,
                  r.orvane_cpu / boards, share, r.simulator_cpu / boards, r.load, r.boards_ok,
                  boards);
      std::fflush(stdout);
    }
  }
  bench::remove_tree(work);
  return failures == 0 ? 0 : 1;
}
