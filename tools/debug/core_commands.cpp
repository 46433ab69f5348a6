// SPDX-License-Identifier: Apache-2.0
// Run control, breakpoints and the program counter.  Breakpoints live on the chip: the
// session reads the four entries from it before it first changes or shows them (and again
// after a reset), so a session started on a chip with armed breakpoints knows them.
#include <cstdio>

#include "tools/debug/continue_wait.h"
#include "tools/debug/session.h"

namespace {

constexpr uint32_t kBreakpointEntries = 0x610;  // four entries of four bytes
constexpr uint32_t kMostSteps = 100000;

bool known_slots(session *s) {
  if (s->slots_known) return true;
  std::vector<uint8_t> entries;
  const op_outcome read = op_read_core(s->link, kBreakpointEntries, 16, &entries);
  if (!read.ok) return fail(read);
  for (int n = 0; n < 4; ++n) {
    const uint8_t *e = entries.data() + 4 * n;
    // Bit 0 of the fourth byte enables the entry (entry 0's also carries run control bits).
    s->slots[n] = (e[3] & 1) ? (uint32_t(e[0]) | uint32_t(e[1]) << 8 | uint32_t(e[2]) << 16) : 0;
  }
  s->slots_known = true;
  return true;
}

bool write_slots(session *s, const uint32_t slots[4]) {
  const op_outcome set = op_set_breakpoints(s->link, slots);
  if (!set.ok) {
    s->slots_known = false;  // some entries may have been written: read them again
    return fail(set);
  }
  for (int n = 0; n < 4; ++n) s->slots[n] = slots[n];
  return true;
}

}  // namespace

bool command_reset(session *s, const words &) {
  const op_outcome reset = op_reset(s->link);
  s->slots_known = false;
  if (!reset.ok) return fail(reset);
  std::printf("reset\n");
  return true;
}

bool command_halt(session *s, const words &) {
  uint32_t pc = 0;
  const op_outcome halt = op_halt(s->link, &pc);
  if (!halt.ok) return fail(halt);
  std::printf("halted at %s\n", where_text(*s, pc).c_str());
  return true;
}

bool command_step(session *s, const words &w) {
  uint32_t count = 1;
  if (w.size() > 2 || (w.size() == 2 && (!parse_count(w[1], &count) || count == 0 ||
                                         count > kMostSteps)))
    return fail("step takes a count from 1 to 100000");
  uint32_t pc = 0;
  for (uint32_t i = 0; i < count; ++i) {
    const op_outcome step = op_step(s->link, &pc);
    if (!step.ok) return fail(step);
  }
  std::printf("pc %s\n", where_text(*s, pc).c_str());
  return true;
}

bool command_continue(session *s, const words &) {
  if (!known_slots(s)) return false;
  bool armed = false;
  for (uint32_t slot : s->slots) armed = armed || slot != 0;
  const op_outcome run = op_run(s->link);
  if (!run.ok) return fail(run);
  if (!armed) {
    std::printf("running (no breakpoint armed)\n");
    return true;
  }
  std::fflush(stdout);
  const wait_result waited = wait_for_breakpoint(s->link, s->slots, s->wait_seconds);
  switch (waited.end) {
    case wait_end::breakpoint:
      std::printf("stopped at breakpoint %d, %s\n", waited.slot, where_text(*s, waited.pc).c_str());
      return true;
    case wait_end::timed_out:
      return fail("no breakpoint reached within --wait; the core runs on");
    case wait_end::interrupted:
      return fail("interrupted; the core runs on");
    default:
      return fail(waited.outcome);
  }
}

bool command_break(session *s, const words &w) {
  uint32_t address = 0;
  if (w.size() != 2) return fail("break takes one symbol or address");
  if (!resolve_address(*s, w[1], &address)) return fail("no symbol \"" + w[1] + "\"");
  // An entry holds 24 address bits, and address 0 is how an entry is switched off.
  if (address == 0 || address > 0xffffff)
    return fail("a breakpoint address lies from 0x000001 to 0xffffff");
  if (!known_slots(s)) return false;
  int free_slot = -1;
  for (int n = 3; n >= 0; --n) {
    if (s->slots[n] == address) {
      std::printf("breakpoint %d at %s (already armed)\n", n, where_text(*s, address).c_str());
      return true;
    }
    if (s->slots[n] == 0) free_slot = n;
  }
  if (free_slot < 0) return fail("all four breakpoints are armed (delete one)");
  uint32_t slots[4] = {s->slots[0], s->slots[1], s->slots[2], s->slots[3]};
  slots[free_slot] = address;
  if (!write_slots(s, slots)) return false;
  std::printf("breakpoint %d at %s\n", free_slot, where_text(*s, address).c_str());
  return true;
}

bool command_info(session *s, const words &w) {
  if (w.size() != 2 || (w[1] != "break" && w[1] != "b" && w[1] != "breakpoints"))
    return fail("info takes \"break\"");
  if (!known_slots(s)) return false;
  bool any = false;
  for (int n = 0; n < 4; ++n) {
    if (s->slots[n] == 0) continue;
    std::printf("breakpoint %d at %s\n", n, where_text(*s, s->slots[n]).c_str());
    any = true;
  }
  if (!any) std::printf("no breakpoints\n");
  return true;
}

bool command_delete(session *s, const words &w) {
  uint32_t slot = 0;
  if (w.size() > 2 || (w.size() == 2 && (!parse_count(w[1], &slot) || slot > 3)))
    return fail("delete takes a breakpoint slot from 0 to 3");
  if (!known_slots(s)) return false;
  uint32_t slots[4] = {s->slots[0], s->slots[1], s->slots[2], s->slots[3]};
  if (w.size() == 2) {
    if (slots[slot] == 0) return fail("breakpoint " + w[1] + " is not armed");
    slots[slot] = 0;
  } else {
    slots[0] = slots[1] = slots[2] = slots[3] = 0;
  }
  if (!write_slots(s, slots)) return false;
  if (w.size() == 2)
    std::printf("deleted breakpoint %u\n", slot);
  else
    std::printf("deleted all breakpoints\n");
  return true;
}

bool command_where(session *s, const words &) {
  if (!s->link.listing.empty()) {
    std::string lines;
    const op_outcome where = op_where(s->link, &lines);
    if (!where.ok) return fail(where);
    if (!lines.empty()) {
      std::fputs(lines.c_str(), stdout);
      return true;
    }
  }
  uint32_t pc = 0;
  const op_outcome read = op_read_pc(s->link, &pc);
  if (!read.ok) return fail(read);
  // The listing shows nothing for a routine's first instruction and outside every routine.
  std::printf("pc %s\n", where_text(*s, pc).c_str());
  return true;
}
