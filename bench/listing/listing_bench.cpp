// SPDX-License-Identifier: Apache-2.0
// Program-counter lookup in a large listing.
//
// Generates listings of 10 MB and 100 MB (in a temporary directory, removed at the end)
// whose matching routine lies near the end, runs "pc" on each against a simulated chip, and
// compares the time with `grep -c` over the same file in the same run.  Also prints the
// peak resident memory of the program for both sizes: it must not grow with the listing.
//
// Usage: listing_bench [directory holding Orvane and zk32-sim]

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "bench_support.h"

namespace {

constexpr int kRoutines = 1500;  // stays below the 2000-entry symbol table
constexpr int kRepeats = 3;

using bench::now_ms;
using bench::read_file;

// Routines of equal size fill the listing; returns the program counter to look up: an
// instruction near the end of the last-but-one routine.
uint32_t write_listing(const std::string &path, size_t bytes, std::string *expected) {
  FILE *f = std::fopen(path.c_str(), "wb");
  if (!f) return 0;
  std::fprintf(f, "\nfirmware.elf:     file format elf32-zk32\n\n"
                  "Disassembly of section .vectors:\n\n");
  const size_t per_line = 34;  // "  1a2b3c:\t00000013 \taddi\ta0,a0,1\n"
  const size_t per_routine = bytes / kRoutines / per_line;
  uint32_t address = 0;
  uint32_t pc = 0;
  char line[128];
  for (int r = 0; r < kRoutines; ++r) {
    std::fprintf(f, "%08x <routine_%d>:\n", address, r);
    if (r == kRoutines - 2) {
      std::snprintf(line, sizeof line, "%08x <routine_%d>:\n", address, r);
      *expected = line;
      pc = address + static_cast<uint32_t>(per_routine - 3) * 4;
    }
    for (size_t i = 0; i < per_routine; ++i, address += 4) {
      std::fprintf(f, "  %6x:\t00000013 \taddi\ta0,a0,1\n", address);
    }
    std::fputc('\n', f);
  }
  std::fprintf(f, "Disassembly of section .rodata:\n");
  std::fclose(f);
  // The tab after the address is the tenth character: it is shown as a blank.
  std::snprintf(line, sizeof line, "  %6x: 00000013 \taddi\ta0,a0,1\n", pc);
  *expected += line;
  return pc;
}

struct figures {
  double pc_ms;
  double grep_ms;
  long peak_kb;
  bool correct;
};

figures measure(const std::string &dir, const std::string &bin, const std::string &sim_dir,
                size_t bytes) {
  const std::string program = dir + "/Orvane";  // private copy beside a config.ini of ours
  const std::string listing = dir + "/firmware.lst";
  std::string expected;
  const uint32_t pc = write_listing(listing, bytes, &expected);
  char command[64];
  std::snprintf(command, sizeof command, "pc-set %x", pc);
  // Halted first, so the program counter stays where it is set.
  bench::simulator(bin + "/zk32-sim", "ctl", sim_dir, {"mem-write target 602 02"},
                   dir + "/ctl.txt");
  bench::simulator(bin + "/zk32-sim", "ctl", sim_dir, {command}, dir + "/ctl.txt");

  figures result{1e30, 1e30, 0, false};
  for (int i = 0; i < kRepeats; ++i) {
    child_usage usage;
    double start = now_ms();
    bench::run({program, "b", "5", "0", "1", "1", listing}, sim_dir, dir + "/pc.txt", &usage,
               bench::Streams::out);
    result.pc_ms = std::min(result.pc_ms, now_ms() - start);
    result.peak_kb = std::max(result.peak_kb, usage.peak_memory_kb);
    const std::string shown = read_file(dir + "/pc.txt");
    result.correct = shown == expected;
    if (!result.correct)
      std::fprintf(stderr, "expected:\n%sshown:\n%s\n", expected.c_str(), shown.c_str());

    start = now_ms();
    bench::run({"grep", "-c", "routine", listing}, sim_dir, dir + "/grep.txt", nullptr,
               bench::Streams::out);
    result.grep_ms = std::min(result.grep_ms, now_ms() - start);
  }
  std::remove(listing.c_str());
  return result;
}

}  // namespace

int main(int argc, char **argv) {
  const std::string bin = argc > 1 ? argv[1] : bench::built_bin_dir();
  const std::string dir = bench::make_temp_dir("listing_bench");
  if (dir.empty()) {
    std::perror("mkdtemp");
    return 1;
  }
  const std::string sim_dir = dir + "/sim";
  bench::run({"cp", bin + "/Orvane", dir + "/Orvane"}, sim_dir, "/dev/null", nullptr,
             bench::Streams::out);
  if (FILE *config = std::fopen((dir + "/config.ini").c_str(), "w")) {
    std::fputs("MCU 1 zk32 = c1 \\writer\\none.bin end\n", config);  // row 1: MCU type 1
    std::fclose(config);
  }
  if (bench::simulator(bin + "/zk32-sim", "start", sim_dir,
                       {"--mode", "usb", "--type", "1", "--timing", "zero"},
                       dir + "/sim.txt") != 0) {
    std::fprintf(stderr, "cannot start the simulator: %s", read_file(dir + "/sim.txt").c_str());
    return 1;
  }

  std::printf("pc lookup in a generated listing, match near the end (best of %d)\n", kRepeats);
  std::printf("%8s %10s %10s %10s %10s %8s %12s %s\n", "size", "pc ms", "pc MB/s", "grep ms",
              "grep MB/s", "ratio", "peak KB", "output");
  long peaks[2] = {0, 0};
  int failures = 0;
  const size_t sizes[2] = {10u << 20, 100u << 20};
  for (int s = 0; s < 2; ++s) {
    const figures f = measure(dir, bin, sim_dir, sizes[s]);
    const double mb = static_cast<double>(sizes[s]) / (1 << 20);
    std::printf("%6.0fMB %10.1f %10.1f %10.1f %10.1f %8.2f %12ld %s\n", mb, f.pc_ms,
                mb / f.pc_ms * 1000, f.grep_ms, mb / f.grep_ms * 1000, f.grep_ms / f.pc_ms,
                f.peak_kb, f.correct ? "ok" : "WRONG");
    peaks[s] = f.peak_kb;
    if (!f.correct) ++failures;
  }
  std::printf("throughput ratio = grep time / pc time (aim >= 0.5); peak memory growth "
              "10 MB -> 100 MB: %ld KB\n",
              peaks[1] - peaks[0]);

  bench::simulator(bin + "/zk32-sim", "stop", sim_dir, {}, dir + "/sim.txt");
  bench::remove_tree(dir);
  return failures == 0 ? 0 : 1;
}
