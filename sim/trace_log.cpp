#include "sim/trace_log.h"

#include <sys/time.h>

#include <cstring>

namespace zk32sim {

namespace {
// Older lines are dropped beyond these, so a long-running simulator cannot grow without end.
constexpr size_t kMaxLines = 1000000;
// A whole trace must fit one reply frame (16 MB), line feeds included.
constexpr size_t kMaxBytes = 12u << 20;

struct PcapRecordHeader {  // usbmon's binary header, link type 220
  uint64_t id;
  uint8_t type;
  uint8_t xfer_type;
  uint8_t epnum;
  uint8_t devnum;
  uint16_t busnum;
  int8_t flag_setup;
  int8_t flag_data;
  int64_t ts_sec;
  int32_t ts_usec;
  int32_t status;
  uint32_t length;
  uint32_t len_cap;
  uint8_t setup[8];
  int32_t interval;
  int32_t start_frame;
  uint32_t xfer_flags;
  uint32_t ndesc;
};
static_assert(sizeof(PcapRecordHeader) == 64, "usbmon header is 64 bytes");
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
  keep(raw_, std::move(line));
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
  FILE *f = fopen(path.c_str(), "wb");
  if (!f) return false;
  if (pcap_) fclose(pcap_);
  pcap_ = f;
  struct {
    uint32_t magic;
    uint16_t major, minor;
    int32_t zone;
    uint32_t sigfigs, snaplen, linktype;
  } header = {0xa1b2c3d4, 2, 4, 0, 0, 65535, 220};
  fwrite(&header, sizeof header, 1, pcap_);
  fflush(pcap_);
  return true;
}

void TraceLog::pcap_record(const SetupPacket &setup, const uint8_t *out_data, size_t out_len,
                           const uint8_t *in_data, int result) {
  bool in = dn_setup_is_in(setup);
  timeval tv;
  gettimeofday(&tv, nullptr);
  auto write_one = [&](bool submit, const uint8_t *data, uint32_t n) {
    PcapRecordHeader h;
    memset(&h, 0, sizeof h);
    h.id = pcap_id_;
    h.type = submit ? 'S' : 'C';
    h.xfer_type = 2;  // control
    h.epnum = in ? 0x80 : 0x00;
    h.devnum = 1;
    h.busnum = 1;
    h.flag_setup = submit ? 0 : '-';
    h.flag_data = n ? 0 : (in ? '<' : '>');
    h.ts_sec = tv.tv_sec;
    h.ts_usec = int32_t(tv.tv_usec);
    h.status = submit ? -115 : (result < 0 ? -32 : 0);  // -EINPROGRESS, -EPIPE
    h.length = submit ? setup.length : (in ? uint32_t(result < 0 ? 0 : result) : setup.length);
    h.len_cap = n;
    if (submit) dn_setup_encode(setup, h.setup);
    struct {
      uint32_t sec, usec, incl, orig;
    } rec = {uint32_t(tv.tv_sec), uint32_t(tv.tv_usec), uint32_t(sizeof h + n),
             uint32_t(sizeof h + n)};
    fwrite(&rec, sizeof rec, 1, pcap_);
    fwrite(&h, sizeof h, 1, pcap_);
    if (n) fwrite(data, 1, n, pcap_);
  };
  write_one(true, in ? nullptr : out_data, in ? 0 : uint32_t(out_len));
  write_one(false, in ? in_data : nullptr, in && result > 0 ? uint32_t(result) : 0);
  fflush(pcap_);
  ++pcap_id_;
}

}  // namespace zk32sim
