// The companion's platform calls: running Orvane with its standard output in a pipe and the
// few file and console questions it asks (its clock and its own folder are base/platform.h's).  One file per
// platform: platform_posix.cpp, platform_windows.cpp (CreateProcess).
#ifndef ORVANE_CHECK_PLATFORM_H
#define ORVANE_CHECK_PLATFORM_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct child_result {
  bool started = false;      // false: the program could not be run (error says why)
  bool ended_normally = false;  // false: killed by a signal (POSIX)
  long exit_code = -1;
  std::string error;
};

// Receives the program's standard output as it arrives, in pieces of any size.
using output_sink = void (*)(const char *bytes, std::size_t count, void *context);

// Runs program with args (argument 1 onwards; argument 0 is the program path itself), its
// standard output into sink, standard input and error inherited; waits for it to end.
child_result run_program(const std::string &program, const std::vector<std::string> &args,
                         output_sink sink, void *context);

// True for an existing file (not a directory) this user may run.
bool is_runnable_file(const std::string &path);

bool output_is_terminal();

// Standard output as raw bytes (Windows would otherwise turn each LF into CR LF again).
void prepare_output();

// A new, empty file in the temporary directory; empty when none can be made.
std::string make_temp_file();

// The line end of the companion's own lines: CR LF on Windows, as the program's console.
extern const char *const kLineEnd;

#endif
