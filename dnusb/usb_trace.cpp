// SPDX-License-Identifier: Apache-2.0
// The USB trace (usb_trace.h).  The port table calls in here around every request, so the
// trace sees the same thing on every port: the setup packet the library asks for (wIndex 0:
// the port, or on Windows the driver, chooses the interface) and the bytes the port
// returned.  Data-stream reads appear as bulk transfers on endpoint 1 IN.
#include "usb_trace.h"

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <atomic>
#include <mutex>

#if defined(_WIN32)
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
#include <time.h>
#include <unistd.h>
#endif

#include "wire/control_transfer.h"
#include "wire/usbmon_pcap.h"
#include "wire/regular_file.h"

namespace {

enum TraceState { kUnread, kOff, kOn };

constexpr uint8_t kStreamEndpoint = 0x81;
constexpr uint32_t kMaxCaptured = 0xFFFF;

// The fast path reads state without the lock: once kOff, it stays so until a test resets it.
std::atomic<int> state{kUnread};
std::mutex trace_lock;
FILE *trace_file = nullptr;
char trace_path[1024];  // for the one message
uint64_t next_id = 0;
// Both records of one transfer, written with one call; only one of them carries data.
unsigned char records[2 * (kDnPcapRecordHeaderSize + kDnUsbmonHeaderSize) + kMaxCaptured];

void now(int64_t *seconds, int32_t *microseconds) {
#if defined(_WIN32)
  FILETIME ft;
  GetSystemTimeAsFileTime(&ft);
  uint64_t ticks = (uint64_t(ft.dwHighDateTime) << 32 | ft.dwLowDateTime) -
                   116444736000000000ull;  // 100 ns units from 1601 to 1970
  *seconds = int64_t(ticks / 10000000u);
  *microseconds = int32_t(ticks % 10000000u / 10u);
#else
  timespec ts;
  clock_gettime(CLOCK_REALTIME, &ts);
  *seconds = ts.tv_sec;
  *microseconds = int32_t(ts.tv_nsec / 1000);
#endif
}

uint32_t process_id() {
#if defined(_WIN32)
  return GetCurrentProcessId();
#else
  return uint32_t(getpid());
#endif
}

void give_up(const char *why) {
  fprintf(stderr, "dnusb: no USB trace in %s: %s\n", trace_path, why);
  if (trace_file != nullptr) fclose(trace_file);
  trace_file = nullptr;
  state = kOff;
}

// Opens the trace named by DNUSB_TRACE (caller holds the lock).  A new or empty file gets
// the capture header; an existing capture is appended to; anything else is left untouched.
void open_trace() {
  const char *path = getenv("DNUSB_TRACE");
  if (path == nullptr || path[0] == '\0') {
    state = kOff;
    return;
  }
  snprintf(trace_path, sizeof trace_path, "%s", path);
  // A FIFO or a device would hold the program up or take the records elsewhere.
  trace_file = dn_open_regular(path, "a+b");
  if (trace_file == nullptr) return give_up(dn_open_regular_why(errno));
  // Unbuffered: each transfer goes out as one write, whole, in order with other processes.
  setvbuf(trace_file, nullptr, _IONBF, 0);
  unsigned char header[kDnPcapFileHeaderSize];
  fseek(trace_file, 0, SEEK_SET);
  size_t have = fread(header, 1, sizeof header, trace_file);
  fseek(trace_file, 0, SEEK_END);
  if (have == 0) {
    dn_pcap_put_file_header(header);
    if (fwrite(header, sizeof header, 1, trace_file) != 1) {
      return give_up(strerror(errno));
    }
  } else {
    uint32_t link = 0;
    if (!dn_pcap_get_file_header(header, have, &link) || link != kDnLinkUsbLinuxMmapped) {
      return give_up("the file exists and is not a USB capture of this kind");
    }
  }
  next_id = uint64_t(process_id()) << 32;
  state = kOn;
}

dn_usbmon_event event_of(dn_handle_t handle, uint8_t xfer_type, uint8_t endpoint) {
  dn_usbmon_event e;
  memset(&e, 0, sizeof e);
  e.xfer_type = xfer_type;
  e.endpoint = endpoint;
  e.device = uint8_t(handle);  // tells the handles of one process apart
  e.bus = 1;
  return e;
}

// Writes a submit and its completion (caller fills everything but id, type, time, status).
void write_pair(dn_usbmon_event submit, dn_usbmon_event complete, const dn_trace_stamp &start,
                bool ok) {
  std::lock_guard<std::mutex> guard(trace_lock);
  if (state != kOn) return;
  submit.id = complete.id = next_id++;
  submit.type = 'S';
  complete.type = 'C';
  submit.seconds = start.seconds;
  submit.microseconds = start.microseconds;
  now(&complete.seconds, &complete.microseconds);
  submit.status = kDnUsbmonInProgress;
  complete.status = ok ? 0 : kDnUsbmonStall;
  size_t first = dn_usbmon_put(submit, records, sizeof records);
  size_t second = dn_usbmon_put(complete, records + first, sizeof records - first);
  if (first == 0 || second == 0) return;  // cannot happen: data are held to kMaxCaptured
  if (fwrite(records, 1, first + second, trace_file) != first + second) {
    give_up(strerror(errno));
  }
}

}  // namespace

dn_trace_stamp dn_trace_start(void) {
  dn_trace_stamp stamp = {false, 0, 0};
  if (state == kUnread) {
    std::lock_guard<std::mutex> guard(trace_lock);
    if (state == kUnread) open_trace();
  }
  if (state != kOn) return stamp;
  stamp.on = true;
  now(&stamp.seconds, &stamp.microseconds);
  return stamp;
}

void dn_trace_vendor_set(dn_handle_t handle, const dn_trace_stamp &start,
                         const unsigned char *input, uint32_t len, bool ok) {
  dn_setup_packet setup;
  if (!start.on || !dn_vendor_write_setup(input, len, 0, 0, &setup)) return;
  dn_usbmon_event submit = event_of(handle, kDnUsbmonControl, 0x00);
  dn_usbmon_event complete = submit;
  submit.has_setup = true;
  dn_setup_encode(setup, submit.setup);
  submit.length = len;
  submit.data = input;
  submit.data_length = len;
  complete.length = ok ? len : 0;
  write_pair(submit, complete, start, ok);
}

void dn_trace_vendor_get(dn_handle_t handle, const dn_trace_stamp &start,
                         const unsigned char *input, uint32_t len, uint32_t out_size,
                         const unsigned char *out, uint32_t got, bool ok) {
  dn_setup_packet setup;
  if (!start.on || !dn_vendor_read_setup(input, len, out_size, 0, 0, &setup)) return;
  dn_usbmon_event submit = event_of(handle, kDnUsbmonControl, 0x80);
  dn_usbmon_event complete = submit;
  submit.has_setup = true;
  dn_setup_encode(setup, submit.setup);
  submit.length = out_size;
  complete.length = ok ? got : 0;
  complete.data = out;
  complete.data_length = ok ? got : 0;
  write_pair(submit, complete, start, ok);
}

void dn_trace_read_stream(dn_handle_t handle, const dn_trace_stamp &start, uint32_t size,
                          const unsigned char *buf, int got) {
  if (!start.on) return;
  dn_usbmon_event submit = event_of(handle, kDnUsbmonBulk, kStreamEndpoint);
  dn_usbmon_event complete = submit;
  submit.length = size;
  uint32_t count = got > 0 ? uint32_t(got) : 0;
  complete.length = count;
  complete.data = buf;
  complete.data_length = count < kMaxCaptured ? count : kMaxCaptured;  // usbmon's len_cap
  write_pair(submit, complete, start, got >= 0);
}

void dn_trace_reset(void) {
  std::lock_guard<std::mutex> guard(trace_lock);
  if (trace_file != nullptr) fclose(trace_file);
  trace_file = nullptr;
  state = kUnread;
}
