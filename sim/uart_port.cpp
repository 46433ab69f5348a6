// SPDX-License-Identifier: Apache-2.0
#include "sim/uart_port.h"

namespace zk32sim {

namespace {
// A host that never reads must not make the simulator grow without bound (a firmware stuck
// in a print loop sends a megabyte a second): past this the FIFO overruns and drops the
// newest bytes, as a full hardware FIFO would.
constexpr size_t kFifoLimit = 4u << 20;
}  // namespace

void UartPort::send(const uint8_t *bytes, size_t n) {
  for (size_t i = 0; i < n && fifo_.size() < kFifoLimit; ++i) fifo_.push_back(bytes[i]);
}

size_t UartPort::take(uint8_t *buffer, size_t max) {
  size_t n = 0;
  while (n < max && !fifo_.empty()) {
    buffer[n++] = fifo_.front();
    fifo_.pop_front();
  }
  return n;
}

}  // namespace zk32sim
