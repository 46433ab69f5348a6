// SPDX-License-Identifier: Apache-2.0
// End-to-end test support: a simulator in its own rendezvous directory, a private copy of the
// built program, and a runner that captures the program's console output and exit code.
#ifndef ORVANE_TESTS_HARNESS_H
#define ORVANE_TESTS_HARNESS_H

#include <string>
#include <vector>

#include "support/hex_text.h"
#include "support/scratch_files.h"

namespace harness {

struct RunResult {
  std::string out;   // everything the program wrote to standard output
  std::string err;   // standard error (the program should leave it empty)
  int exit_code = -1;
};

// Scratch files: a fresh, empty temporary directory (removed by the owner) and whole files.
using scratch_files::file_exists;
using scratch_files::make_temp_dir;
using scratch_files::read_file;
using scratch_files::remove_tree;
using scratch_files::write_file;

// zk32-sim started with the given options ("--mode usb --type 1" style; "--dir" is added)
// in a rendezvous directory of its own; stopped and removed on destruction.
class Simulator {
 public:
  explicit Simulator(const std::string &options = "--mode usb --type 1");
  ~Simulator();
  Simulator(const Simulator &) = delete;
  Simulator &operator=(const Simulator &) = delete;

  // Sends one control command and returns the reply text.  An error reply is reported as a
  // test failure (ADD_FAILURE) and returned as "err: <text>".
  std::string ctl(const std::string &command);
  // Sends one control command that is expected to be refused; returns its text.
  std::string ctl_expect_error(const std::string &command);
  // The decoded trace as lines.
  std::vector<std::string> trace();

  const std::string &dir() const { return dir_; }
  bool running() const { return running_; }

 private:
  bool send(const std::string &command, std::string *reply);
  std::string dir_;
  bool running_ = false;
};

// A private copy of the built program beside config.ini and the flash-writer images, so a
// test may change config.ini or create the user folder freely.  Removed on destruction.
class Install {
 public:
  Install();                                        // the shipped config.ini
  explicit Install(const std::string &config_ini);  // a config.ini of the test's own
  ~Install();
  Install(const Install &) = delete;
  Install &operator=(const Install &) = delete;

  std::string path(const std::string &relative) const { return dir + "/" + relative; }
  std::string dir;
  std::string program;
};

// Runs the installed program with the arguments (argument 0 is the program path) against the
// simulator, or with no device at all when sim is null.  The run is killed after
// timeout_seconds.
RunResult run_orvane(const Install &install, const std::vector<std::string> &args,
                     const Simulator *sim = nullptr, int timeout_seconds = 120);

// As run_orvane for any program (argv[0] its path), with the same device environment.
RunResult run_with_devices(const Install &install, const std::vector<std::string> &argv,
                           const Simulator *sim = nullptr, int timeout_seconds = 120);

// Path of the built program, and of the simulator program.
std::string built_program_dir();
std::string simulator_program();

// Elapsed times differ from run to run: every "Time: <number> ms" in text gets "#" in place
// of the number ("Total Time: 12 ms" -> "Total Time: # ms").  The one time mask of the tests.
std::string mask_times(const std::string &text);

// Hex text for simulator commands and replies: "0a0b" <-> bytes.
using hex_text::from_hex;
using hex_text::to_hex;

}  // namespace harness

#endif
