// SPDX-License-Identifier: Apache-2.0
// One simulated device and a private install of the program, as the fault sweep and the soak
// drive them: commands in either mode, the device's own view of its memory, and what a read
// printed.
#ifndef ORVANE_TESTS_ROBUSTNESS_DEVICE_SESSION_H
#define ORVANE_TESTS_ROBUSTNESS_DEVICE_SESSION_H

#include <string>
#include <vector>

#include "harness.h"

namespace robustness {

using Bytes = std::vector<unsigned char>;

class Session {
 public:
  // mode "usb" or "evk"; the chip of MCU type 1 (4710).
  explicit Session(const std::string &mode);

  // Runs "Orvane 4710 WORDS..." with "-u" added in usb mode.
  harness::RunResult run(std::vector<std::string> words, int timeout_seconds = 30);
  // The same through orvane-check (beside the program, as installed), its own options first.
  harness::RunResult run_companion(std::vector<std::string> words,
                                   const std::vector<std::string> &options = {});
  std::string ctl(const std::string &command) { return sim_.ctl(command); }

  Bytes target(unsigned address, unsigned count);
  Bytes flash(unsigned address, unsigned count);
  Bytes analog(unsigned address, unsigned count);
  // True when the device delivered at least one failed transfer since the last trace-clear.
  bool saw_failed_transfer();

  const std::string &mode() const { return mode_; }
  std::string path(const std::string &name) const { return install_.path(name); }

 private:
  std::string mode_;
  harness::Simulator sim_;
  harness::Install install_;
};

// The bytes of a hex dump as the read commands print it (" 008200:  01 02 ...").
Bytes dumped_bytes(const std::string &out);
std::string hex(const Bytes &bytes);
std::string hex_number(unsigned value);
bool contains(const std::string &text, const std::string &part);

}  // namespace robustness

#endif
