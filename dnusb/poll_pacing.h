// SPDX-License-Identifier: Apache-2.0
// The pause between two polls of a device whose work takes a while (the EVK probe's
// completion word).  Each poll is a USB round trip; polling without pause keeps a core busy
// for the whole wait, and a fixed pause makes every completion seen late by up to that pause.
// Work of one kind takes about as long each time, so the pause follows the time it took last:
//  - before three quarters of that time: one pause to that point (no poll would find it done;
//    the last quarter leaves room for a late wake-up on a busy machine);
//  - from there to one and a quarter times it, plus 100 us: no pause, so the completion is
//    seen as soon as a poll can see it, exactly as without pauses;
//  - beyond: a sixteenth of the time waited so far, from 20 us to 1 ms, so a long wait costs
//    few polls and is seen late by at most a sixteenth of it.
#ifndef DNUSB_POLL_PACING_H
#define DNUSB_POLL_PACING_H

#include <stdint.h>

// elapsed_us: since the work began; expected_us: what work of its kind took (0: not known).
inline uint32_t dn_poll_pause_us(uint32_t elapsed_us, uint32_t expected_us) {
  const uint64_t early = uint64_t(expected_us) * 3 / 4;
  if (elapsed_us < early) return static_cast<uint32_t>(early - elapsed_us);
  if (elapsed_us < uint64_t(expected_us) * 5 / 4 + 100) return 0;
  const uint32_t part = elapsed_us / 16;
  return part < 20 ? 20 : part > 1000 ? 1000 : part;
}

#endif
