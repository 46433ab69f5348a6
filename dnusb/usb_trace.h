// SPDX-License-Identifier: Apache-2.0
// The library's USB trace.  With DNUSB_TRACE=FILE in the environment, every request the
// port layer makes (vendor write, vendor read, data-stream read) on any port is appended to
// FILE as a USB capture (usbmon_pcap.h): the setup packet and OUT data when it goes, the
// status and the IN data as the device answered when it returns, each with its time.
//
// Unset, nothing is done beyond one look at the environment.  A trace that cannot be
// written is reported once on standard error and the requests go on untraced.  Each process
// writes its own records with one write each, so processes tracing to different files never
// meet, and ones appending to the same file do not tear each other's records.
#ifndef DNUSB_USB_TRACE_H
#define DNUSB_USB_TRACE_H

#include <stdint.h>

#include "dnusb.h"

// When a request started; on is false when nothing is traced.
struct dn_trace_stamp {
  bool on;
  int64_t seconds;
  int32_t microseconds;
};

dn_trace_stamp dn_trace_start(void);

// The request that began at start, with its outcome.  Nothing happens when start.on is false.
void dn_trace_vendor_set(dn_handle_t handle, const dn_trace_stamp &start,
                         const unsigned char *input, uint32_t len, bool ok);
void dn_trace_vendor_get(dn_handle_t handle, const dn_trace_stamp &start,
                         const unsigned char *input, uint32_t len, uint32_t out_size,
                         const unsigned char *out, uint32_t got, bool ok);
void dn_trace_read_stream(dn_handle_t handle, const dn_trace_stamp &start, uint32_t size,
                          const unsigned char *buf, int got);

// Test hook: closes the trace and forgets DNUSB_TRACE, which the next request reads again.
void dn_trace_reset(void);

#endif
