// SPDX-License-Identifier: Apache-2.0
// A USB capture file (wire/usbmon_pcap.h) read back as the transfers it holds, in the order
// they were submitted: what `zk32-sim decode` prints and `zk32-sim replay` feeds to a device.
#ifndef ZK32SIM_CAPTURE_FILE_H
#define ZK32SIM_CAPTURE_FILE_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "sim/device_model.h"

namespace zk32sim {

struct CapturedTransfer {
  size_t submit_frame = 0;    // record numbers in the file, from 1 (Wireshark's frame numbers)
  size_t complete_frame = 0;  // 0: the capture holds no completion
  double submit_ms = 0;       // when it was submitted, in milliseconds
  bool stream = false;        // a data-stream read (bulk IN); else a control transfer
  SetupPacket setup{};
  uint32_t asked = 0;            // bytes asked for (IN) or sent (OUT)
  std::vector<uint8_t> out;      // the OUT data stage
  bool ok = false;               // completed without error
  std::vector<uint8_t> in;       // the IN data as the device answered
};

struct Capture {
  std::vector<CapturedTransfer> transfers;
  bool cut_short = false;  // the file ends inside a record (a writer stopped mid-way)
};

// False (with the reason in *error) when the file cannot be read or is not a usbmon pcap.
bool read_capture(const std::string &path, Capture *capture, std::string *error);

}  // namespace zk32sim

#endif
