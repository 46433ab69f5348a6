// SPDX-License-Identifier: Apache-2.0
#include "sim/capture_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>

#include "wire/control_transfer.h"
#include "wire/regular_file.h"
#include "wire/usbmon_pcap.h"

namespace zk32sim {

namespace {

bool slurp(const std::string &path, std::vector<unsigned char> *bytes, std::string *error) {
  FILE *f = dn_open_regular(path.c_str(), "rb");
  if (!f) {
    *error = path + ": " + dn_open_regular_why(errno);
    return false;
  }
  unsigned char chunk[65536];
  size_t n;
  while ((n = fread(chunk, 1, sizeof chunk, f)) > 0) bytes->insert(bytes->end(), chunk, chunk + n);
  bool failed = ferror(f) != 0;
  fclose(f);
  if (failed) *error = path + ": read error";
  return !failed;
}

}  // namespace

bool read_capture(const std::string &path, Capture *capture, std::string *error) {
  std::vector<unsigned char> bytes;
  if (!slurp(path, &bytes, error)) return false;
  uint32_t link = 0;
  if (!dn_pcap_get_file_header(bytes.data(), bytes.size(), &link)) {
    *error = path + ": not a USB capture (little-endian pcap, link type 189 or 220)";
    return false;
  }
  std::map<uint64_t, size_t> pending;  // submit id -> transfer awaiting its completion
  size_t at = kDnPcapFileHeaderSize;
  size_t frame = 0;
  while (at < bytes.size()) {
    dn_usbmon_event e;
    size_t used = dn_usbmon_get(bytes.data() + at, bytes.size() - at, link, &e);
    if (used == 0) {
      capture->cut_short = true;
      break;
    }
    at += used;
    ++frame;
    bool in = (e.endpoint & 0x80) != 0;
    if (e.type == 'S') {
      CapturedTransfer t;
      t.submit_frame = frame;
      t.submit_ms = double(e.seconds) * 1000.0 + e.microseconds / 1000.0;
      t.asked = e.length;
      if (e.xfer_type == kDnUsbmonControl && e.has_setup) {
        dn_setup_packet s = dn_setup_decode(e.setup);
        t.setup = SetupPacket{s.request_type, s.request, s.value, s.index, s.length};
        if (!dn_setup_is_in(s)) t.out.assign(e.data, e.data + e.data_length);
      } else if (e.xfer_type == kDnUsbmonBulk && in) {
        t.stream = true;
      } else {
        continue;  // nothing the library sends
      }
      pending[e.id] = capture->transfers.size();
      capture->transfers.push_back(std::move(t));
    } else if (e.type == 'C') {
      auto found = pending.find(e.id);
      if (found == pending.end()) continue;
      CapturedTransfer &t = capture->transfers[found->second];
      pending.erase(found);
      t.complete_frame = frame;
      t.ok = e.status == 0;
      if (in) t.in.assign(e.data, e.data + e.data_length);
    }
  }
  return true;
}

}  // namespace zk32sim
