// SPDX-License-Identifier: Apache-2.0
// What the benchmarks share: a clock, a scratch directory, and child processes (the program,
// the simulator, a baseline tool) run against a simulator's rendezvous directory with their
// output in a file and their peak memory at hand.
#ifndef ORVANE_BENCH_SUPPORT_H
#define ORVANE_BENCH_SUPPORT_H

#include <string>
#include <utility>
#include <vector>

#include "base/child_process.h"
#include "support/scratch_files.h"

namespace bench {

// Milliseconds on the monotonic clock.
double now_ms();

// Scratch files: a fresh directory <temp>/<name>-XXXXXX (empty when it cannot be made), whole
// files read back, a tree removed.
using scratch_files::make_temp_dir;
using scratch_files::read_file;
using scratch_files::remove_tree;
// Writes a test image of size bytes (a pattern that repeats no sooner than every 64 KB) to
// path; false when it cannot be written.
bool write_image(const std::string &path, size_t size);

// Directory holding the built Orvane, config.ini, writer/ and zk32-sim.
std::string built_bin_dir();

enum class Streams { out, out_and_err };

// Runs argv (argv[0] a path or a name in PATH) with ZK32_SIM_DIR=sim_dir and no ZK32_SIM_TCP,
// standard output (and standard error when asked) in out_path.  Returns the exit status
// (127: could not start, 128: did not exit normally); fills usage (the child's peak resident
// memory and processor time) when given.
int run(const std::vector<std::string> &argv, const std::string &sim_dir,
        const std::string &out_path, child_usage *usage = nullptr,
        Streams streams = Streams::out_and_err);

// As run(), but returns at once with the child's pid (-1: fork failed), the environment
// extended by env (name, value); finish() waits for it and returns the same as run().
int start(const std::vector<std::string> &argv, const std::string &sim_dir,
          const std::string &out_path,
          const std::vector<std::pair<std::string, std::string>> &env = {});
int finish(int pid, child_usage *usage = nullptr);

// zk32-sim (the program at sim_program) with "--dir sim_dir" after the verb: "start", "ctl",
// "stop".  Output in out_path; returns the exit status.
int simulator(const std::string &sim_program, const std::string &verb, const std::string &sim_dir,
              const std::vector<std::string> &args, const std::string &out_path);

}  // namespace bench

#endif
