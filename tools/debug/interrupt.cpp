// std::signal covers both platforms: on Windows the C runtime turns Ctrl-C into SIGINT.
#include "tools/debug/interrupt.h"

#include <csignal>

namespace {

volatile std::sig_atomic_t interrupted = 0;

extern "C" void on_interrupt(int) { interrupted = 1; }

}  // namespace

void catch_interrupt() {
  interrupted = 0;
  std::signal(SIGINT, on_interrupt);
}

void release_interrupt() { std::signal(SIGINT, SIG_DFL); }

bool interrupt_requested() { return interrupted != 0; }
