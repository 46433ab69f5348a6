// SPDX-License-Identifier: Apache-2.0
// USB capture files: pcap with microsecond timestamps and the Linux usbmon link type, the
// layout Wireshark and tshark decode as USB (setup packet, data stage, status).  The library's
// trace (DNUSB_TRACE), the simulator's `pcap` command and zk32-sim's decode and replay all go
// through these functions, so every capture this system writes reads back the same way.
//
// Written files are little-endian pcap (magic a1b2c3d4 as bytes d4 c3 b2 a1) with link type
// 220, the 64-byte usbmon header; reading also takes link type 189, the 48-byte header that
// lacks the last four fields.  Each transfer is two records: a submit ('S', the setup packet
// and any OUT data) and a complete ('C', the status and any IN data), paired by their id.
//
// Header-only and platform-free so that the simulator compiles it in without the library.
#ifndef ORVANE_WIRE_USBMON_PCAP_H
#define ORVANE_WIRE_USBMON_PCAP_H

#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include "wire/byte_order.h"

constexpr uint32_t kDnLinkUsbLinux = 189;
constexpr uint32_t kDnLinkUsbLinuxMmapped = 220;
constexpr size_t kDnPcapFileHeaderSize = 24;
constexpr size_t kDnPcapRecordHeaderSize = 16;
constexpr size_t kDnUsbmonHeaderSize = 64;
// What one record may hold: the header and the largest data stage a wLength can describe.
constexpr uint32_t kDnPcapSnapLength = kDnUsbmonHeaderSize + 0xFFFF;

constexpr uint8_t kDnUsbmonControl = 2;  // usbmon transfer types
constexpr uint8_t kDnUsbmonBulk = 3;
constexpr int32_t kDnUsbmonInProgress = -115;  // -EINPROGRESS: the status of every submit
constexpr int32_t kDnUsbmonStall = -32;        // -EPIPE: a failed (stalled) transfer

struct dn_usbmon_event {
  uint64_t id;          // pairs a submit with its completion
  char type;            // 'S' submit, 'C' complete
  uint8_t xfer_type;    // kDnUsbmonControl or kDnUsbmonBulk
  uint8_t endpoint;     // bit 7 set for device-to-host
  uint8_t device;
  uint16_t bus;
  bool has_setup;       // a control submit carries the setup packet
  uint8_t setup[8];
  int32_t status;       // 0, kDnUsbmonInProgress, kDnUsbmonStall, ...
  uint32_t length;      // submit: bytes asked or sent; complete: bytes transferred
  int64_t seconds;      // timestamp
  int32_t microseconds;
  const unsigned char *data;  // the captured data bytes (data_length of them)
  uint32_t data_length;
};

// The 24-byte file header of a capture written by this system.
inline void dn_pcap_put_file_header(unsigned char out[kDnPcapFileHeaderSize]) {
  store_le32(out, 0xa1b2c3d4);
  store_le16(out + 4, 2);  // format 2.4
  store_le16(out + 6, 4);
  store_le32(out + 8, 0);  // time zone, accuracy
  store_le32(out + 12, 0);
  store_le32(out + 16, kDnPcapSnapLength);
  store_le32(out + 20, kDnLinkUsbLinuxMmapped);
}

// Reads a file header: true for a little-endian microsecond pcap of a usbmon link type,
// which is stored in *link.
inline bool dn_pcap_get_file_header(const unsigned char *in, size_t n, uint32_t *link) {
  if (n < kDnPcapFileHeaderSize || load_le32(in) != 0xa1b2c3d4) return false;
  *link = load_le32(in + 20);
  return *link == kDnLinkUsbLinux || *link == kDnLinkUsbLinuxMmapped;
}

// Bytes dn_usbmon_put needs for an event.
inline size_t dn_usbmon_record_size(const dn_usbmon_event &event) {
  return kDnPcapRecordHeaderSize + kDnUsbmonHeaderSize + event.data_length;
}

// Writes one record (pcap record header, usbmon header, data) for link type 220.  Returns the
// bytes written, or 0 when they do not fit size or the data exceed the snap length.
inline size_t dn_usbmon_put(const dn_usbmon_event &event, unsigned char *out, size_t size) {
  size_t total = dn_usbmon_record_size(event);
  if (total > size || event.data_length > kDnPcapSnapLength - kDnUsbmonHeaderSize) return 0;
  uint32_t packet = static_cast<uint32_t>(kDnUsbmonHeaderSize + event.data_length);
  store_le32(out, static_cast<uint32_t>(event.seconds));
  store_le32(out + 4, static_cast<uint32_t>(event.microseconds));
  store_le32(out + 8, packet);
  store_le32(out + 12, packet);
  unsigned char *h = out + kDnPcapRecordHeaderSize;
  memset(h, 0, kDnUsbmonHeaderSize);
  store_le64(h, event.id);
  h[8] = static_cast<unsigned char>(event.type);
  h[9] = event.xfer_type;
  h[10] = event.endpoint;
  h[11] = event.device;
  store_le16(h + 12, event.bus);
  // Flags: 0 = present; otherwise usbmon's character for why it is absent.
  h[14] = event.has_setup ? 0 : '-';
  h[15] = event.data_length > 0 ? 0 : ((event.endpoint & 0x80) ? '<' : '>');
  store_le64(h + 16, static_cast<uint64_t>(event.seconds));
  store_le32(h + 24, static_cast<uint32_t>(event.microseconds));
  store_le32(h + 28, static_cast<uint32_t>(event.status));
  store_le32(h + 32, event.length);
  store_le32(h + 36, event.data_length);
  if (event.has_setup) memcpy(h + 40, event.setup, 8);
  if (event.data_length > 0) memcpy(h + kDnUsbmonHeaderSize, event.data, event.data_length);
  return total;
}

// Reads the record at in (n bytes available) of a file with the given link type.  Returns
// the record's size, or 0 when it is cut short or does not hold a usbmon header; event.data
// points into in.
inline size_t dn_usbmon_get(const unsigned char *in, size_t n, uint32_t link,
                            dn_usbmon_event *event) {
  size_t header = link == kDnLinkUsbLinux ? 48 : kDnUsbmonHeaderSize;
  if (n < kDnPcapRecordHeaderSize) return 0;
  uint32_t captured = load_le32(in + 8);
  if (captured < header || captured > n - kDnPcapRecordHeaderSize) return 0;
  const unsigned char *h = in + kDnPcapRecordHeaderSize;
  event->id = load_le64(h);
  event->type = static_cast<char>(h[8]);
  event->xfer_type = h[9];
  event->endpoint = h[10];
  event->device = h[11];
  event->bus = static_cast<uint16_t>(load_le16(h + 12));
  event->has_setup = h[14] == 0;
  memcpy(event->setup, h + 40, 8);
  event->seconds = static_cast<int64_t>(load_le64(h + 16));
  event->microseconds = static_cast<int32_t>(load_le32(h + 24));
  event->status = static_cast<int32_t>(load_le32(h + 28));
  event->length = load_le32(h + 32);
  event->data = h + header;
  event->data_length = static_cast<uint32_t>(captured - header);
  return kDnPcapRecordHeaderSize + captured;
}

#endif
