// SPDX-License-Identifier: Apache-2.0
// Throughput of a 1 MB "rc" read saved to a file, in usb and in evk mode, against the
// zero-latency simulator, and the control transfers it costs against the count the chunk
// sizes imply.  The fixed cost of a run (process start, device search, probe set-up) is
// measured in the same run with a one-byte read and taken off.
//
//   bench_engine_read [repeats]
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench_support.h"

namespace {

constexpr unsigned kMegabyte = 1048576;
constexpr unsigned kReadChunk = 1024;  // bytes per ReadMem call of the core memory read

struct Figures {
  double seconds = 0;
  size_t transfers = 0;  // control transfers: the "w" and "r" lines of the trace
  bool ok = false;
};

// One simulator daemon in a rendezvous directory of its own, for one mode.
struct Simulator {
  std::string program;
  std::string dir;
  std::string log;
  int ctl(const std::vector<std::string> &args, const std::string &out) const {
    return bench::simulator(program, "ctl", dir, args, out);
  }
};

size_t count_transfers(const Simulator &sim, const std::string &work) {
  std::string trace_path = work + "/trace.txt";
  sim.ctl({"trace"}, trace_path);
  std::string trace = bench::read_file(trace_path);
  size_t n = 0;
  size_t at = 0;
  while (at < trace.size()) {
    if (trace.compare(at, 2, "w ") == 0 || trace.compare(at, 2, "r ") == 0) ++n;
    size_t end = trace.find('\n', at);
    if (end == std::string::npos) break;
    at = end + 1;
  }
  return n;
}

Figures measure(const Simulator &sim, const std::string &work, const std::vector<std::string> &args,
                int repeats) {
  Figures best;
  best.seconds = 1e9;
  std::vector<std::string> argv = {bench::built_bin_dir() + "/Orvane"};
  argv.insert(argv.end(), args.begin(), args.end());
  std::string console = work + "/console.txt";
  for (int i = 0; i < repeats; ++i) {
    sim.ctl({"trace-clear"}, sim.log);
    double begin = bench::now_ms();
    int exit_code = bench::run(argv, sim.dir, console);
    double seconds = (bench::now_ms() - begin) / 1000;
    std::string out = bench::read_file(console);
    if (out.find("All ") == std::string::npos || exit_code != 0) {
      std::printf("  run failed: %s\n", out.c_str());
      return best;
    }
    if (seconds < best.seconds) best.seconds = seconds;
    best.transfers = count_transfers(sim, work);
    best.ok = true;
  }
  return best;
}

// Control transfers per 1024-byte chunk: one retrying read directly; through the probe an
// EVK read command (block write, one reply read when the probe is quick) and the staging read.
size_t per_chunk(bool evk) { return evk ? 3 : 1; }

}  // namespace

int main(int argc, char **argv) {
  int repeats = argc > 1 ? std::atoi(argv[1]) : 3;
  if (repeats < 1) repeats = 1;
  std::string work = bench::make_temp_dir("orvane-read-bench");
  if (work.empty()) return 1;
  std::string out = work + "/read.bin";
  double usb_rate = 0;
  int status = 0;
  std::printf("1 MB rc read to a file, zero-latency simulator, best of %d\n", repeats);
  for (const char *mode : {"usb", "evk"}) {
    bool evk = std::string(mode) == "evk";
    Simulator sim{bench::built_bin_dir() + "/zk32-sim", work + "/sim-" + mode, work + "/sim.log"};
    mkdir(sim.dir.c_str(), 0700);
    if (bench::simulator(sim.program, "start", sim.dir,
                         {"--mode", mode, "--type", "3", "--timing", "zero"}, sim.log) != 0) {
      std::printf("zk32-sim did not start: %s\n", bench::read_file(sim.log).c_str());
      status = 1;
      break;
    }
    std::vector<std::string> big = {"4715", "rc", "40000", "-s", "1M", "-o", out};
    std::vector<std::string> small = {"4715", "rc", "40000", "-s", "1", "-o", out};
    if (!evk) {
      big.push_back("-u");
      small.push_back("-u");
    }
    Figures base = measure(sim, work, small, repeats);
    Figures full = measure(sim, work, big, repeats);
    bench::simulator(sim.program, "stop", sim.dir, {}, sim.log);
    if (!base.ok || !full.ok) {
      status = 1;
      break;
    }
    double seconds = full.seconds - base.seconds;
    double rate = seconds > 0 ? kMegabyte / seconds : 0;
    // The one-byte run is the fixed part plus one chunk; the full read adds 1023 chunks.
    size_t implied = base.transfers + (kMegabyte / kReadChunk - 1) * per_chunk(evk);
    std::printf("%s: run %.3f s, fixed part %.3f s, read %.3f s: %.0f bytes/s\n", mode,
                full.seconds, base.seconds, seconds, rate);
    std::printf(
        "%s: control transfers %zu (one-byte run %zu), implied by the chunk sizes %zu, "
        "ratio %.3f\n",
        mode, full.transfers, base.transfers, implied,
        static_cast<double>(full.transfers) / static_cast<double>(implied));
    if (!evk)
      usb_rate = rate;
    else if (usb_rate > 0)
      std::printf("evk/usb throughput ratio %.3f\n", rate / usb_rate);
  }
  bench::remove_tree(work);
  return status;
}
