// SPDX-License-Identifier: Apache-2.0
// How a `continue` knows the core has come to rest on a breakpoint.
//
// The chip offers no "halted" flag to read: the halt bit of the core control register is what
// the host writes to stop the core, not a report from it.  What can be read without
// disturbing the core is the program counter.  A core that reaches an armed breakpoint stops
// there, so the wait polls the program counter and takes the core as stopped when two reads
// in a row give the same address and that address is an armed breakpoint.  A running core
// passes through such an address without stopping only when the breakpoint is not armed, and
// it is never seen at one address twice while running through code there.
#ifndef ORVANE_DEBUG_CONTINUE_WAIT_H
#define ORVANE_DEBUG_CONTINUE_WAIT_H

#include <cstdint>

#include "tools/debug/target_ops.h"

enum class wait_end { breakpoint, timed_out, interrupted, failed };

struct wait_result {
  wait_end end = wait_end::failed;
  int slot = -1;        // the breakpoint's slot (wait_end::breakpoint)
  uint32_t pc = 0;
  op_outcome outcome;   // the failed read (wait_end::failed)
};

// Polls until the core stops at one of the armed addresses (0: a free slot), Ctrl-C (when
// the session catches it: catch_interrupt), or wait_seconds (0: no limit).
wait_result wait_for_breakpoint(const target_link &link, const uint32_t armed[4],
                                double wait_seconds);

#endif
