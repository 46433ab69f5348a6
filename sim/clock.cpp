// SPDX-License-Identifier: Apache-2.0
#include "sim/clock.h"

#include <chrono>

namespace zk32sim {

namespace {
class SteadyClock : public Clock {
 public:
  double now_ms() const override {
    auto since_start = std::chrono::steady_clock::now().time_since_epoch();
    return std::chrono::duration<double, std::milli>(since_start).count();
  }
};
}  // namespace

const Clock &real_clock() {
  static const SteadyClock clock;
  return clock;
}

}  // namespace zk32sim
