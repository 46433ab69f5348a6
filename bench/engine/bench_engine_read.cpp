// Throughput of a 1 MB "rc" read saved to a file, in usb and in evk mode, against the
// zero-latency simulator, and the control transfers it costs against the count the chunk
// sizes imply.  The fixed cost of a run (process start, device search, probe set-up) is
// measured in the same run with a one-byte read and taken off.
//
//   bench_engine_read [repeats]
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench_support.h"
#include "harness.h"

namespace {

constexpr unsigned kMegabyte = 1048576;
constexpr unsigned kReadChunk = 1024;  // bytes per ReadMem call of the core memory read

struct Figures {
  double seconds = 0;
  size_t transfers = 0;  // control transfers: the "w" and "r" lines of the trace
  bool ok = false;
};

size_t count_transfers(harness::Simulator &sim) {
  size_t n = 0;
  for (const auto &line : sim.trace()) {
    if (line.compare(0, 2, "w ") == 0 || line.compare(0, 2, "r ") == 0) ++n;
  }
  return n;
}

Figures measure(harness::Simulator &sim, const harness::Install &install,
                const std::vector<std::string> &args, int repeats) {
  Figures best;
  best.seconds = 1e9;
  for (int i = 0; i < repeats; ++i) {
    sim.ctl("trace-clear");
    double begin = bench::now_ms();
    harness::RunResult result = harness::run_orvane(install, args, &sim);
    double seconds = (bench::now_ms() - begin) / 1000;
    if (result.out.find("All ") == std::string::npos || result.exit_code != 0) {
      std::printf("  run failed: %s\n", result.out.c_str());
      return best;
    }
    if (seconds < best.seconds) best.seconds = seconds;
    best.transfers = count_transfers(sim);
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
  harness::Install install;
  std::string out = install.path("read.bin");
  double usb_rate = 0;
  std::printf("1 MB rc read to a file, zero-latency simulator, best of %d\n", repeats);
  for (const char *mode : {"usb", "evk"}) {
    bool evk = std::string(mode) == "evk";
    harness::Simulator sim(std::string("--mode ") + mode + " --type 3 --timing zero");
    if (!sim.running()) return 1;
    std::vector<std::string> big = {"4715", "rc", "40000", "-s", "1M", "-o", out};
    std::vector<std::string> small = {"4715", "rc", "40000", "-s", "1", "-o", out};
    if (!evk) {
      big.push_back("-u");
      small.push_back("-u");
    }
    Figures base = measure(sim, install, small, repeats);
    Figures full = measure(sim, install, big, repeats);
    if (!base.ok || !full.ok) return 1;
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
  return 0;
}
