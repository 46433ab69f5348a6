// SPDX-License-Identifier: Apache-2.0
#include "sim/trace_log.h"

#include <sys/time.h>

#include <cstring>
#include <vector>

#include "wire/control_transfer.h"
#include "wire/regular_file.h"
#include "wire/usbmon_pcap.h"

namespace zk32sim {

namespace {
// Older lines are dropped beyond these, so a long-running simulator cannot grow without end.
constexpr size_t kMaxLines = 1000000;
// A whole trace must fit one reply frame (16 MB), line feeds included.
constexpr size_t kMaxBytes = 12u << 20;
}  // namespace

std::string hex_bytes(const uint8_t *data, size_t n) {
  static const char digits[] = "0123456789abcdef";
  std::string s(n * 2, '0');
  for (size_t i = 0; i < n; ++i) {
    s[2 * i] = digits[data[i] >> 4];
    s[2 * i + 1] = digits[data[i] & 15];
  }
  return s;
}

std::string request_line(const VendorRequest &r, const uint8_t *bytes, size_t n) {
  char head[64];
  if (r.is_write) {
    snprintf(head, sizeof head, "w %c %x ", r.long_layout ? 'l' : 's', r.address);
  } else {
    snprintf(head, sizeof head, "r %c %x %zx ", r.long_layout ? 'l' : 's', r.address, n);
  }
  std::string line = head + hex_bytes(bytes, n);
  if (r.fixed) line += " fixed";
  return line;
}

std::string raw_transfer_line(const SetupPacket &setup, const uint8_t *out_data, size_t out_len,
                              const uint8_t *in_data, int result) {
  char head[64];
  snprintf(head, sizeof head, "%02x %02x %04x %04x %04x", setup.request_type, setup.request,
           setup.value, setup.index, setup.length);
  std::string line = head;
  bool in = dn_setup_is_in(setup);
  if (result < 0) {
    if (!in && out_data) line += " > " + hex_bytes(out_data, out_len);
    line += " stall";
  } else if (in) {
    line += " < " + hex_bytes(in_data, size_t(result));
  } else {
    line += " > " + hex_bytes(out_data, out_len);
  }
  return line;
}

TraceLog::~TraceLog() {
  if (pcap_) fclose(pcap_);
}

void TraceLog::keep(Lines &kept, std::string line) {
  kept.bytes += line.size();
  kept.lines.push_back(std::move(line));
  while (kept.lines.size() > kMaxLines || kept.bytes > kMaxBytes) {
    kept.bytes -= kept.lines.front().size();
    kept.lines.pop_front();
  }
}

void TraceLog::event(const std::string &line) { keep(events_, line); }

void TraceLog::transfer(const SetupPacket &setup, const uint8_t *out_data, size_t out_len,
                        const uint8_t *in_data, int result) {
  keep(raw_, raw_transfer_line(setup, out_data, out_len, in_data, result));
  if (pcap_) pcap_record(setup, out_data, out_len, in_data, result);
}

std::string TraceLog::join(const Lines &kept) {
  std::string all;
  all.reserve(kept.bytes + kept.lines.size());
  for (const std::string &l : kept.lines) {
    all += l;
    all += '\n';
  }
  return all;
}

std::string TraceLog::events() const { return join(events_); }
std::string TraceLog::raw() const { return join(raw_); }

void TraceLog::clear() {
  events_ = Lines();
  raw_ = Lines();
}

bool TraceLog::start_pcap(const std::string &path) {
  FILE *f = dn_open_regular(path.c_str(), "wb");
  if (!f) return false;
  if (pcap_) fclose(pcap_);
  pcap_ = f;
  unsigned char header[kDnPcapFileHeaderSize];
  dn_pcap_put_file_header(header);
  fwrite(header, sizeof header, 1, pcap_);
  fflush(pcap_);
  return true;
}

void TraceLog::pcap_record(const SetupPacket &setup, const uint8_t *out_data, size_t out_len,
                           const uint8_t *in_data, int result) {
  bool in = dn_setup_is_in(setup);
  timeval tv;
  gettimeofday(&tv, nullptr);
  dn_usbmon_event event;
  memset(&event, 0, sizeof event);
  event.id = pcap_id_++;
  event.xfer_type = kDnUsbmonControl;
  event.endpoint = in ? 0x80 : 0x00;
  event.device = 1;
  event.bus = 1;
  event.seconds = tv.tv_sec;
  event.microseconds = int32_t(tv.tv_usec);
  std::vector<unsigned char> records;
  auto add = [&records](const dn_usbmon_event &e) {
    size_t at = records.size();
    records.resize(at + dn_usbmon_record_size(e));
    records.resize(at + dn_usbmon_put(e, records.data() + at, records.size() - at));
  };
  event.type = 'S';
  event.has_setup = true;
  dn_setup_encode(setup, event.setup);
  event.status = kDnUsbmonInProgress;
  event.length = setup.length;
  event.data = in ? nullptr : out_data;
  event.data_length = in ? 0 : uint32_t(out_len);
  add(event);
  event.type = 'C';
  event.has_setup = false;
  event.status = result < 0 ? kDnUsbmonStall : 0;
  event.length = in ? uint32_t(result < 0 ? 0 : result) : setup.length;
  event.data = in ? in_data : nullptr;
  event.data_length = in && result > 0 ? uint32_t(result) : 0;
  add(event);
  fwrite(records.data(), 1, records.size(), pcap_);
  fflush(pcap_);
}

}  // namespace zk32sim
