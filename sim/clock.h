// SPDX-License-Identifier: Apache-2.0
// The simulator's time source: a monotonic millisecond clock.  Every time-based behaviour is
// worked out lazily from it when a request arrives, so a clock that moves only when told
// (tests) lets latencies, busy bits and time-outs play out without waiting for them.
#ifndef ZK32SIM_CLOCK_H
#define ZK32SIM_CLOCK_H

namespace zk32sim {

class Clock {
 public:
  virtual ~Clock() = default;
  virtual double now_ms() const = 0;
};

// The real monotonic clock, shared by every device that is given no other.
const Clock &real_clock();

}  // namespace zk32sim

#endif
