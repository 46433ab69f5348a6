// SPDX-License-Identifier: Apache-2.0
// What the simulator observed: the decoded trace (one event per line, read with `trace`), the
// raw trace of every control transfer (`trace-raw`) and an optional pcap capture.
#ifndef ZK32SIM_TRACE_LOG_H
#define ZK32SIM_TRACE_LOG_H

#include <cstdint>
#include <cstdio>
#include <deque>
#include <string>

#include "sim/device_model.h"
#include "sim/vendor_request.h"

namespace zk32sim {

std::string hex_bytes(const uint8_t *data, size_t n);

// A line of the decoded trace for a vendor request and its data bytes (written or delivered):
// "w s|l ADDR HEX[ fixed]" or "r s|l ADDR N HEX[ fixed]".
std::string request_line(const VendorRequest &request, const uint8_t *bytes, size_t n);

// A line of the raw trace: "bmRequestType bRequest wValue wIndex wLength" in hex, then
// "> DATA" (OUT), "< DATA" (IN delivered), and " stall" for a failed transfer (result < 0).
std::string raw_transfer_line(const SetupPacket &setup, const uint8_t *out_data, size_t out_len,
                              const uint8_t *in_data, int result);

class TraceLog {
 public:
  ~TraceLog();
  void event(const std::string &line);
  // One control transfer as it crossed the wire (IN data when it succeeded, else stall).
  void transfer(const SetupPacket &setup, const uint8_t *out_data, size_t out_len,
                const uint8_t *in_data, int result);
  std::string events() const;
  std::string raw() const;
  void clear();
  // Starts a pcap capture (USB Linux mmapped link type); false when the file cannot be made.
  bool start_pcap(const std::string &path);

 private:
  void pcap_record(const SetupPacket &setup, const uint8_t *out_data, size_t out_len,
                   const uint8_t *in_data, int result);
  struct Lines {
    std::deque<std::string> lines;
    size_t bytes = 0;
  };
  static void keep(Lines &kept, std::string line);
  static std::string join(const Lines &kept);
  Lines events_;
  Lines raw_;
  FILE *pcap_ = nullptr;
  uint64_t pcap_id_ = 0;
};

}  // namespace zk32sim

#endif
