// SPDX-License-Identifier: Apache-2.0
// zk32-sim's offline commands on a USB capture (a DNUSB_TRACE file or the simulator's own
// pcap): `decode` prints it as the simulator's decoded trace, `replay` feeds its requests to
// a fresh simulated device and compares the answers.
#ifndef ZK32SIM_CAPTURE_COMMANDS_H
#define ZK32SIM_CAPTURE_COMMANDS_H

#include <cstdio>
#include <string>

#include "sim/capture_file.h"
#include "sim/device_model.h"

namespace zk32sim {

// One captured transfer as a line of the decoded trace ("w s 602 05"); a failed one ends in
// " stall"; transfers that are not vendor requests appear as raw-trace lines, data-stream
// reads as "stream N HEX".
std::string decoded_transfer_line(const CapturedTransfer &transfer);

// Exit codes: 0 done (replay: every answer agrees), 1 replay found differences, 2 the file
// cannot be read or the device options are bad.
int decode_capture(const std::string &path, FILE *out);
int replay_capture(const std::string &path, const Options &options, FILE *out);

}  // namespace zk32sim

#endif
