// SPDX-License-Identifier: Apache-2.0
// The program run inside the test process, against a simulator, on a virtual clock: time-outs
// and busy waits take no real time.  The console, the exit code and the transfers are those
// of the built program (the same code, linked here); only the clock and the program's own
// path are the test's.  For runs that would otherwise wait out real time-outs.
#ifndef ORVANE_TESTS_IN_PROCESS_H
#define ORVANE_TESTS_IN_PROCESS_H

#include <functional>
#include <string>
#include <vector>

#include "harness.h"

namespace harness {

// As run_orvane, in-process: the program's path is install.program, so config.ini and the
// flash-writer images come from the install.  Each read of the clock moves it on by 1 ms and
// a sleep by its length.
RunResult run_orvane_here(const Install &install, const std::vector<std::string> &args,
                          const Simulator &sim);

// One operation called directly, in-process as above, after "CHIP ini" has selected the
// chip (its flash writer); out holds what the operation printed.
RunResult run_operation_here(const Install &install, const Simulator &sim, const char *chip,
                             const std::function<void()> &operation);

}  // namespace harness

#endif
