// SPDX-License-Identifier: Apache-2.0
// The chip's UART transmitter:
//   0xe0  transmit data: each byte written (by the core, or by a host over USB) is sent.
// Sent bytes wait in the device's data-in FIFO until a bulk IN transfer takes them, which is
// how the chip's UART output reaches the host.  Reads of 0xe0 return 0 (nothing received).
#ifndef ZK32SIM_UART_PORT_H
#define ZK32SIM_UART_PORT_H

#include <cstddef>
#include <cstdint>
#include <deque>

#include "sim/bus.h"

namespace zk32sim {

constexpr uint32_t kUartTransmit = 0xe0;

class UartPort : public Peripheral {
 public:
  uint8_t read(uint32_t) override { return 0; }
  void write(uint32_t, uint8_t value) override { send(&value, 1); }
  // A chip reset leaves the FIFO alone: bytes already sent are on their way to the host.
  void reset() override {}

  // Queues bytes for the host (the transmitter, or `uart-send` from the control language).
  void send(const uint8_t *bytes, size_t n);
  // Takes up to max queued bytes, oldest first; returns how many.
  size_t take(uint8_t *buffer, size_t max);

 private:
  std::deque<uint8_t> fifo_;
};

}  // namespace zk32sim

#endif
