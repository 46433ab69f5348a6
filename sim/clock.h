// The simulator's time source: a monotonic millisecond clock.  Every time-based behaviour is
// worked out lazily from it when a request arrives.
#ifndef ZK32SIM_CLOCK_H
#define ZK32SIM_CLOCK_H

#include <chrono>
#include <cstdint>

namespace zk32sim {

inline double now_ms() {
  using namespace std::chrono;
  return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace zk32sim

#endif
