// SPDX-License-Identifier: Apache-2.0
#include "tools/debug/continue_wait.h"

#include <chrono>
#include <thread>

#include "tools/debug/interrupt.h"

namespace {

// Between two reads of the program counter.  A simulated core advances only while it is
// asked something (at most 200,000 instructions a request), so polling also keeps it going.
constexpr int kPollMs = 20;

int armed_slot(const uint32_t armed[4], uint32_t pc) {
  for (int n = 0; n < 4; ++n)
    if (armed[n] != 0 && (armed[n] & 0xffffff) == (pc & 0xffffff)) return n;
  return -1;
}

}  // namespace

wait_result wait_for_breakpoint(const target_link &link, const uint32_t armed[4],
                                double wait_seconds) {
  const auto start = std::chrono::steady_clock::now();
  wait_result result;
  bool have_previous = false;
  uint32_t previous = 0;
  clear_interrupt();
  for (;;) {
    uint32_t pc = 0;
    const op_outcome read = op_read_pc(link, &pc);
    // Ctrl-C reaches a running Orvane too: a read it cut short is no failure of the chip.
    if (interrupt_requested()) {
      result.end = wait_end::interrupted;
      break;
    }
    if (!read.ok) {
      result.end = wait_end::failed;
      result.outcome = read;
      break;
    }
    const int slot = armed_slot(armed, pc);
    if (have_previous && pc == previous && slot >= 0) {
      result.end = wait_end::breakpoint;
      result.slot = slot;
      result.pc = pc;
      break;
    }
    have_previous = true;
    previous = pc;
    const double waited =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (wait_seconds > 0 && waited >= wait_seconds) {
      result.end = wait_end::timed_out;
      result.pc = pc;
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
  }
  return result;
}
