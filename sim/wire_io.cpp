#include "sim/wire_io.h"

#include <errno.h>
#include <unistd.h>

#include "wire/sim_wire.h"

namespace zk32sim {

bool write_all(int fd, const void *data, size_t n) {
  const char *p = static_cast<const char *>(data);
  while (n > 0) {
    ssize_t w = write(fd, p, n);  // callers ignore SIGPIPE
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) return false;
    p += w;
    n -= size_t(w);
  }
  return true;
}

bool read_all(int fd, void *data, size_t n) {
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

bool send_frame(int fd, uint8_t kind, const void *payload, size_t n) {
  uint8_t header[5] = {kind, uint8_t(n), uint8_t(n >> 8), uint8_t(n >> 16), uint8_t(n >> 24)};
  std::string frame(reinterpret_cast<char *>(header), sizeof header);
  frame.append(static_cast<const char *>(payload), n);
  return write_all(fd, frame.data(), frame.size());
}

bool receive_frame(int fd, uint8_t *kind, std::string *payload) {
  uint8_t header[5];
  if (!read_all(fd, header, sizeof header)) return false;
  uint32_t n = uint32_t(header[1]) | uint32_t(header[2]) << 8 | uint32_t(header[3]) << 16 |
               uint32_t(header[4]) << 24;
  if (n > simwire::kMaxPayload) return false;
  *kind = header[0];
  payload->resize(n);
  return n == 0 || read_all(fd, &(*payload)[0], n);
}

}  // namespace zk32sim
