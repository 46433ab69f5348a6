// SPDX-License-Identifier: Apache-2.0
// std::signal covers both platforms: on Windows the C runtime turns Ctrl-C into SIGINT.
#include "tools/debug/interrupt.h"

#include <csignal>

namespace {

volatile std::sig_atomic_t interrupted = 0;

extern "C" void on_interrupt(int) {
  interrupted = 1;
  std::signal(SIGINT, on_interrupt);  // where the handler is reset on delivery (Windows)
}

}  // namespace

void catch_interrupt() { std::signal(SIGINT, on_interrupt); }

void clear_interrupt() { interrupted = 0; }

bool interrupt_requested() { return interrupted != 0; }
