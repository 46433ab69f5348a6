// SPDX-License-Identifier: Apache-2.0
// The read loop.  Every ReadUartMem takes whatever the device has queued (up to 2048 bytes),
// and those bytes are written out before the next read, so nothing is reordered; the loop
// reads again at once after a read that brought bytes and pauses briefly after an empty one.
//
// Device states, reported on standard error once each:
//  - no handle: the device search runs every kRetryMs until it finds a device;
//  - a new handle counts as connected only after its first successful read, so a device that
//    can be opened but does not answer (a simulator made to vanish) is not reported "back";
//  - a failed read means the device is gone: the handle is dropped and the search resumes.
// The library has no export that closes a handle: a dropped handle stays in the library's
// table (1024 entries).  A device that opens but never answers would use one per search, so
// after kQuickRetries such opens the search slows to every kSlowRetryMs.
#include "monitor_loop.h"

#include <cstdio>

#include "dnusb.h"
#include "base/platform.h"
#include "chip_reset.h"
#include "stop_signal.h"
#include "text_match.h"

namespace {

constexpr uint32_t kIdleMs = 10;
constexpr uint32_t kRetryMs = 250;
constexpr uint32_t kSlowRetryMs = 3000;
constexpr int kQuickRetries = 40;
constexpr uint32_t kAnyDevice = 0xffff;
constexpr int kStreamBuffer = 2048;  // what one ReadUartMem may deliver

enum class link { kNever, kConnected, kLost };

// Sleeps up to ms, or less when a stop is asked for or the deadline comes.
void pause(uint32_t ms, uint32_t start, uint64_t limit_ms) {
  for (uint32_t slept = 0; slept < ms && !stop_requested(); slept += kIdleMs) {
    if (limit_ms != kNoTimeLimit && uint64_t(clock_ms() - start) >= limit_ms) return;
    sleep_ms(kIdleMs);
  }
}

// --reset: stop the chip, drop what it had sent (until the stream stays empty), reset it.
// Bytes still arriving after the stop would be the old firmware's, so the stream is read
// until two reads in a row bring nothing.  Returns the handle the watch goes on with, or 0
// with the reason told.
dn_handle_t reset_before_watching(const monitor_options &options) {
  char error[512];
  if (!run_orvane_word(options.reset_chip, "stop", options.usb, " Stop MCU", error,
                       sizeof error)) {
    fprintf(stderr, "orvane-monitor: cannot stop %s: %s\n", options.reset_chip, error);
    return 0;
  }
  static unsigned char dropped[kStreamBuffer];
  dn_handle_t handle = GetPrintDeviceHandle(kAnyDevice);
  int empty_reads = 0;
  // A stream that never runs dry (a stop that did not take) is bounded: 2000 reads, 4 MB.
  for (int reads = 0; handle != 0 && empty_reads < 2 && reads < 2000; ++reads) {
    int got = ReadUartMem(handle, dropped);
    if (got < 0) handle = 0;
    if (got == 0) {
      ++empty_reads;
      sleep_ms(kIdleMs);
    } else {
      empty_reads = 0;
    }
  }
  if (handle == 0) {
    fprintf(stderr, "orvane-monitor: no device found\n");
    return 0;
  }
  if (!run_orvane_word(options.reset_chip, "rst", options.usb, " Reset MCU", error,
                       sizeof error)) {
    fprintf(stderr, "orvane-monitor: cannot reset %s: %s\n", options.reset_chip, error);
    return 0;
  }
  return handle;
}

}  // namespace

int run_monitor(const monitor_options &options, monitor_output *output) {
  static unsigned char buffer[kStreamBuffer];
  static text_match until;
  bool matching = options.until != nullptr && text_match_start(&until, options.until);
  const uint32_t start = clock_ms();
  dn_handle_t handle = 0;
  if (options.reset_chip != nullptr) {
    handle = reset_before_watching(options);
    if (handle == 0) return 1;
  }
  bool answered = false;  // the current handle has delivered a read
  link state = link::kNever;
  bool waiting_told = false;
  int dead_opens = 0;  // handles in a row that failed their first read

  while (!stop_requested()) {
    if (options.exit_after_ms != kNoTimeLimit &&
        uint64_t(clock_ms() - start) >= options.exit_after_ms) {
      if (!matching) return 0;
      fprintf(stderr, "orvane-monitor: \"%s\" not received within the time limit\n",
              options.until);
      return 1;
    }
    if (handle == 0) handle = GetPrintDeviceHandle(kAnyDevice);
    int got = handle != 0 ? ReadUartMem(handle, buffer) : -1;
    if (got < 0) {
      // No device, or it stopped answering.
      if (handle != 0 && answered) state = link::kLost;
      if (handle != 0 && !answered) ++dead_opens;
      handle = 0;
      answered = false;
      if (options.no_reconnect) {
        fprintf(stderr, "orvane-monitor: %s\n",
                state == link::kLost ? "device gone" : "no device found");
        return 1;
      }
      if (!waiting_told) {
        fprintf(stderr, "orvane-monitor: %s; waiting for it\n",
                state == link::kLost ? "device gone" : "no device found");
        waiting_told = true;
      }
      pause(dead_opens > kQuickRetries ? kSlowRetryMs : kRetryMs, start, options.exit_after_ms);
      continue;
    }
    if (!answered) {
      answered = true;
      dead_opens = 0;
      if (waiting_told) fprintf(stderr, "orvane-monitor: %s\n",
                                state == link::kLost ? "device back" : "device found");
      waiting_told = false;
      state = link::kConnected;
    }
    size_t n = size_t(got);
    size_t through = matching ? text_match_feed(&until, buffer, n) : 0;
    if (!output_bytes(output, buffer, through > 0 ? through : n)) {
      fprintf(stderr, "orvane-monitor: cannot write the output\n");
      return 1;
    }
    if (through > 0) {
      // The text found may end inside a line: the output still ends with a line feed.
      return output_end_line(output) ? 0 : 1;
    }
    if (got == 0) pause(kIdleMs, start, options.exit_after_ms);
  }
  // Stopped by a signal: a script waiting for --until's text must not take this for a match.
  if (!matching) return 0;
  fprintf(stderr, "orvane-monitor: stopped before \"%s\" was received\n", options.until);
  return kExitStoppedBeforeText;
}
