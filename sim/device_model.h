// SPDX-License-Identifier: Apache-2.0
// The simulated USB device as an in-process object: a ZK32 target chip attached directly
// ("usb" mode) or an EVK probe with a target chip behind it on Vlane ("evk" mode).
//
// The zk32-sim daemon wraps one Device behind a socket; tests and the USB-level harness drive
// it directly.  A Device is driven from one thread at a time (callers lock).  Time-based
// behaviour (flash-writer timings, busy bits, the activation delay, a running core's program
// counter) follows a monotonic clock (the real one unless the creator passes another) and is
// computed when a request arrives: there are no threads inside the model.
#ifndef ZK32SIM_DEVICE_MODEL_H
#define ZK32SIM_DEVICE_MODEL_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "wire/control_transfer.h"

namespace zk32sim {

class Clock;

// The setup packet as the library builds it (its encoding and decoding are shared).
using SetupPacket = dn_setup_packet;

struct Options {
  std::string mode = "usb";   // "usb" or "evk"
  int mcu_type = 1;           // 1..4 (3 and 4: SRAM at 0x40000)
  bool zero_timing = true;    // false: realistic latencies (see sim/README.md)
  uint32_t flash_size = 1u << 20;
  const Clock *clock = nullptr;  // nullptr: the real clock; else must outlive the device
};

class DeviceState;

class Device {
 public:
  static std::unique_ptr<Device> create(const Options &);
  ~Device();
  Device(const Device &) = delete;
  Device &operator=(const Device &) = delete;

  // One USB control transfer.  IN: returns the bytes placed in in_data (<= setup.length);
  // OUT: returns 0; -1 = stall.
  int control(const SetupPacket &setup, const uint8_t *out_data, size_t out_len,
              uint8_t *in_data);
  // The UART data stream (bulk IN); -1 = stall.
  int bulk_in(uint8_t *buffer, size_t max);
  // One line of the control language; *ok tells an error reply from a normal one.
  std::string command(const std::string &line, bool *ok);
  // After the "vanish" fault the device is gone: every transfer fails, connections close.
  bool vanished() const;

 private:
  explicit Device(std::unique_ptr<DeviceState> state);
  std::unique_ptr<DeviceState> state_;
};

}  // namespace zk32sim

#endif
