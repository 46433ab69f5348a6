// SPDX-License-Identifier: Apache-2.0
// Running another program to its end: the companion runs Orvane with its standard output
// relayed as it arrives; the tests and the benchmarks run the program, the simulator and
// tools with their output captured, or in a file when the child leaves a daemon behind that
// would hold a pipe open.  One file per platform: child_process_posix.cpp,
// child_process_windows.cpp (CreateProcess: the output sink and nothing else).
#ifndef ORVANE_BASE_CHILD_PROCESS_H
#define ORVANE_BASE_CHILD_PROCESS_H

#include <cstddef>
#include <string>
#include <vector>

// Receives a child's output as it arrives, in pieces of any size.
using output_sink = void (*)(const char *bytes, std::size_t count, void *context);

struct child_options {
  std::vector<std::string> env_set;    // NAME=VALUE entries, replacing an inherited NAME
  std::vector<std::string> env_unset;  // names the child does not inherit
  // Standard output goes to out_sink as it arrives, else into out_file (created or emptied),
  // else where the caller's goes.  Standard error goes to err_sink, else where standard
  // output goes when err_with_out, else into err_file, else where the caller's goes.
  output_sink out_sink = nullptr;
  output_sink err_sink = nullptr;
  void *context = nullptr;  // given to both sinks
  std::string out_file;
  bool err_with_out = false;
  std::string err_file;
  bool null_input = false;         // standard input from the null device, not the caller's
  bool search_path = false;        // argv[0] without a separator is looked up in PATH
  // 0: no limit; else the child is killed when it is reached while its output is drained
  // into a sink (a child writing to a file or to the caller's output is waited for).
  unsigned timeout_ms = 0;
  void (*before_exec)() = nullptr;  // POSIX: called in the child just before the program
};

struct child_usage {
  long peak_memory_kb = 0;  // the child's peak resident memory (POSIX)
  double cpu_seconds = 0;   // its user plus system time (POSIX)
};

struct child_result {
  bool started = false;         // false: the program could not be run (error says why)
  bool ended_normally = false;  // false: killed by a signal or at the time limit
  bool timed_out = false;
  long exit_code = -1;  // its exit status; 128 + the signal when killed; 127 when not started
  std::string error;
  child_usage usage;
};

// Runs argv (argv[0] the program) and waits for it to end.
child_result run_child(const std::vector<std::string> &argv, const child_options &options);

// The common case: program with args (argument 1 onwards), standard output into sink,
// standard input and error the caller's.
inline child_result run_program(const std::string &program,
                                const std::vector<std::string> &args, output_sink sink,
                                void *context) {
  std::vector<std::string> argv{program};
  argv.insert(argv.end(), args.begin(), args.end());
  child_options options;
  options.out_sink = sink;
  options.context = context;
  return run_child(argv, options);
}

#if !defined(_WIN32)
// For children that run side by side (no sinks, no time limit): start_child returns the
// child's id, or -1 with *error saying why; finish_child waits for it.
long start_child(const std::vector<std::string> &argv, const child_options &options,
                 std::string *error);
child_result finish_child(long id);
#endif

#endif
