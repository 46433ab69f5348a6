// SPDX-License-Identifier: Apache-2.0
// Frames of the port <-> simulator conversation (wire/sim_wire.h) over a POSIX descriptor: the
// simulator's server, its command client and the test harness all send and receive them here.
// (The library's port frames with the same header helpers over its own buffered socket.)
#ifndef ORVANE_WIRE_FRAME_IO_H
#define ORVANE_WIRE_FRAME_IO_H

#if !defined(_WIN32)

#include <errno.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "wire/sim_wire.h"

namespace simwire {

// Writes all n bytes, going on after an interrupted or partial write.  False on an error or
// a closed peer (callers ignore SIGPIPE).
inline bool write_all(int fd, const void *data, size_t n) {
  const char *p = static_cast<const char *>(data);
  while (n > 0) {
    ssize_t w = write(fd, p, n);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) return false;
    p += w;
    n -= size_t(w);
  }
  return true;
}

// Reads exactly n bytes; false on an error or the end of the stream before n.
inline bool read_all(int fd, void *data, size_t n) {
  char *p = static_cast<char *>(data);
  while (n > 0) {
    ssize_t r = read(fd, p, n);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) return false;
    p += r;
    n -= size_t(r);
  }
  return true;
}

// One frame in one write, so a peer never sees a header without its payload.
inline bool send_frame(int fd, uint8_t kind, const void *payload, size_t n) {
  if (n > kMaxPayload) return false;
  std::string frame(kFrameHeaderSize, '\0');
  put_frame_header(reinterpret_cast<unsigned char *>(&frame[0]), kind, uint32_t(n));
  if (n > 0) frame.append(static_cast<const char *>(payload), n);
  return write_all(fd, frame.data(), frame.size());
}

// False on end of stream, a read error or an oversized payload.
inline bool receive_frame(int fd, uint8_t *kind, std::string *payload) {
  unsigned char header[kFrameHeaderSize];
  uint32_t n = 0;
  if (!read_all(fd, header, sizeof header) || !get_frame_header(header, kind, &n)) return false;
  payload->resize(n);
  return n == 0 || read_all(fd, &(*payload)[0], n);
}

}  // namespace simwire

#endif

#endif
