// SPDX-License-Identifier: Apache-2.0
// The simulated-device port: each device is a zk32-sim daemon reached over a stream socket,
// spoken to in the framing of sim_wire.h.  Every vendor request goes as the USB control
// transfer a real device would see (control_transfer.h): setup packet, then for a write the
// whole request as the data stage.
//
// Devices: the "*.sock" files of the rendezvous directory ($ZK32_SIM_DIR, else
// $XDG_RUNTIME_DIR/zk32-sim, else /tmp/zk32-sim-<uid>), sorted by name, then the loopback TCP
// ports listed in $ZK32_SIM_TCP ("5555" or "5555,5556").  On Windows only the TCP ports.
// The folder is used only when it is the calling user's own and no one else can write it, and
// of its sockets only those the user owns (rendezvous_trust.h); a TCP port is listed only
// when a simulator answers a descriptor request on it, since any local user can listen on a
// loopback port.  What is passed over is kept, with why, for dnusb-list (port_sim.h).
// Device path: "sim:<socket path>\vid_3a7e&pid_5a32" or "sim:tcp:<port>\vid_3a7e&pid_5a32".
// A simulator's location (its DNUSB_DEVICE selector) is its name, the socket file's name
// without ".sock", or "tcp:<port>"; its serial is the string descriptor it reports, read as a
// host reads any USB serial.
//
// One connection per open handle.  A closed connection, a reply that does not fit the
// framing, or a reply that takes longer than the time-out is a failed transfer, and the
// connection is dropped (its stream can no longer be trusted).
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#if defined(_WIN32)
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <dirent.h>
#include <errno.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>
#endif

#include "wire/byte_order.h"
#include "wire/control_transfer.h"
#include "port.h"
#include "port_sim.h"
#include "wire/rendezvous_trust.h"
#include "wire/sim_wire.h"

namespace {

#if defined(_WIN32)
using socket_t = SOCKET;
const socket_t kNoSocket = INVALID_SOCKET;
void close_socket(socket_t s) { closesocket(s); }
constexpr int kSendFlags = 0;
#else
using socket_t = int;
const socket_t kNoSocket = -1;
void close_socket(socket_t s) { close(s); }
constexpr int kSendFlags = MSG_NOSIGNAL;  // a vanished simulator must not kill the caller
#endif

// A simulator answers at once; a reply this late means it hung.
constexpr int kReplyTimeoutMs = 10000;
// The descriptor request that tells a simulator from another listener on a TCP port.
constexpr int kProbeTimeoutMs = 1000;
constexpr size_t kReceiveBuffer = 16384;
// Frame header, setup packet, largest request.
constexpr size_t kFrameBuffer = simwire::kFrameHeaderSize + 8 + 4096;
const char kPathPrefix[] = "sim:";
const char kTcpPrefix[] = "tcp:";

struct sim_device {
  socket_t sock;
  bool broken;
  size_t start, end;  // unread bytes of in[]
  unsigned char in[kReceiveBuffer];
};

// The snapshot of the current walk: the connection target of each device.
std::vector<std::string> walk_targets;

// What the last walk passed over (port_sim.h); the texts back the pointers handed out.
std::vector<std::string> skipped_what, skipped_why;
std::vector<dn_skipped_target> skipped;

void skip(const std::string &what, const std::string &why) {
  skipped_what.push_back(what);
  skipped_why.push_back(why);
}

void list_sockets(std::vector<std::string> *targets) {
#if !defined(_WIN32)
  std::string dir = simwire::rendezvous_directory();
  struct stat info;
  if (lstat(dir.c_str(), &info) != 0 && errno == ENOENT) return;  // no folder: no simulator
  std::string distrust = dn_folder_distrust(dir.c_str(), getuid());
  if (!distrust.empty()) {
    skip(dir, distrust);
    return;
  }
  DIR *d = opendir(dir.c_str());
  if (d == nullptr) return;
  std::vector<std::string> names;
  while (struct dirent *entry = readdir(d)) {
    size_t len = strlen(entry->d_name);
    if (len > 5 && strcmp(entry->d_name + len - 5, ".sock") == 0) names.push_back(entry->d_name);
  }
  closedir(d);
  std::sort(names.begin(), names.end());
  for (const std::string &name : names) {
    std::string path = dir + "/" + name;
    distrust = dn_socket_distrust(path.c_str(), getuid());
    if (distrust.empty()) {
      targets->push_back(path);
    } else {
      skip(path, distrust);
    }
  }
#else
  (void)targets;
#endif
}

// Port numbers 1..65535 from $ZK32_SIM_TCP; anything else in the list is ignored.
void list_tcp_ports(std::vector<std::string> *targets) {
  const char *list = getenv("ZK32_SIM_TCP");
  if (list == nullptr) return;
  std::string all(list);
  size_t pos = 0;
  while (pos <= all.size()) {
    size_t comma = all.find(',', pos);
    if (comma == std::string::npos) comma = all.size();
    std::string item = all.substr(pos, comma - pos);
    item.erase(0, item.find_first_not_of(" \t"));
    item.erase(item.find_last_not_of(" \t") + 1);
    char *stop = nullptr;
    long port = item.empty() ? 0 : strtol(item.c_str(), &stop, 10);
    if (!item.empty() && *stop == '\0' && port >= 1 && port <= 65535) {
      targets->push_back(std::string(kTcpPrefix) + std::to_string(port));
    }
    pos = comma + 1;
  }
}

std::string device_path_of(const std::string &target) {
  char pid[8];
  snprintf(pid, sizeof pid, "%04x", static_cast<unsigned>(simwire::kSimProductId));
  return std::string(kPathPrefix) + target + "\\vid_3a7e&pid_" + pid;
}

// The connection target inside a device path: between "sim:" and the last backslash.
bool target_of(const char *path, std::string *target) {
  size_t prefix = sizeof kPathPrefix - 1;
  if (strncmp(path, kPathPrefix, prefix) != 0) return false;
  const char *slash = strrchr(path, '\\');
  if (slash == nullptr || slash < path + prefix) return false;
  target->assign(path + prefix, slash);
  return !target->empty();
}

void set_reason(char *why, size_t why_size, const char *text) {
  if (why == nullptr || why_size == 0) return;
  snprintf(why, why_size, "%s", text);
}

void set_reply_timeout(socket_t s, int timeout_ms) {
#if defined(_WIN32)
  DWORD ms = timeout_ms;
  setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char *>(&ms), sizeof ms);
#else
  struct timeval tv;
  tv.tv_sec = timeout_ms / 1000;
  tv.tv_usec = (timeout_ms % 1000) * 1000;
  setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
#endif
}

socket_t connect_tcp(const std::string &port_text, char *why, size_t why_size) {
#if defined(_WIN32)
  static bool winsock_ready = false;
  if (!winsock_ready) {
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) {
      set_reason(why, why_size, "Winsock unavailable");
      return kNoSocket;
    }
    winsock_ready = true;
  }
#endif
  long port = strtol(port_text.c_str(), nullptr, 10);
  if (port < 1 || port > 65535) {
    set_reason(why, why_size, "bad TCP port");
    return kNoSocket;
  }
  socket_t s = socket(AF_INET, SOCK_STREAM, 0);
  if (s == kNoSocket) {
    set_reason(why, why_size, "no socket");
    return kNoSocket;
  }
  sockaddr_in addr;
  memset(&addr, 0, sizeof addr);
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<unsigned short>(port));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(s, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0) {
    set_reason(why, why_size, "connection refused");
    close_socket(s);
    return kNoSocket;
  }
  int one = 1;
  setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char *>(&one), sizeof one);
  return s;
}

socket_t connect_unix(const std::string &path, char *why, size_t why_size) {
#if defined(_WIN32)
  (void)path;
  set_reason(why, why_size, "Unix sockets unsupported");
  return kNoSocket;
#else
  sockaddr_un addr;
  memset(&addr, 0, sizeof addr);
  addr.sun_family = AF_UNIX;
  if (path.size() >= sizeof addr.sun_path) {
    set_reason(why, why_size, "socket path too long");
    return kNoSocket;
  }
  memcpy(addr.sun_path, path.c_str(), path.size() + 1);
  socket_t s = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (s == kNoSocket) {
    set_reason(why, why_size, strerror(errno));
    return kNoSocket;
  }
  if (connect(s, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0) {
    set_reason(why, why_size, strerror(errno));
    close_socket(s);
    return kNoSocket;
  }
  return s;
#endif
}

sim_device *new_device(socket_t s) {
  sim_device *dev = new sim_device;
  dev->sock = s;
  dev->broken = false;
  dev->start = dev->end = 0;
  return dev;
}

// --- Framing --------------------------------------------------------------------------------

void fail(sim_device *dev) {
  if (!dev->broken) close_socket(dev->sock);
  dev->broken = true;
}

bool send_all(sim_device *dev, const unsigned char *data, size_t len) {
  while (len > 0) {
    int chunk = len > 0x10000000u ? 0x10000000 : static_cast<int>(len);
    auto sent = send(dev->sock, reinterpret_cast<const char *>(data), chunk, kSendFlags);
    if (sent <= 0) return false;
    data += sent;
    len -= static_cast<size_t>(sent);
  }
  return true;
}

// Takes len bytes of the reply stream into dst (NULL: discard them).
bool receive(sim_device *dev, unsigned char *dst, size_t len) {
  while (len > 0) {
    if (dev->start == dev->end) {
      auto got = recv(dev->sock, reinterpret_cast<char *>(dev->in), kReceiveBuffer, 0);
      if (got <= 0) return false;  // closed, failed or timed out
      dev->start = 0;
      dev->end = static_cast<size_t>(got);
    }
    size_t take = std::min(len, dev->end - dev->start);
    if (dst != nullptr) {
      memcpy(dst, dev->in + dev->start, take);
      dst += take;
    }
    dev->start += take;
    len -= take;
  }
  return true;
}

// One request frame out, one reply frame back.  The reply payload goes to out (at most
// out_size bytes kept, the rest discarded); *payload_len is the kept length.
bool exchange(sim_device *dev, simwire::Kind kind, const unsigned char *head, size_t head_len,
              const unsigned char *body, size_t body_len, uint8_t *reply_kind,
              unsigned char *out, uint32_t out_size, uint32_t *payload_len) {
  *payload_len = 0;
  if (dev->broken) return false;
  size_t payload = head_len + body_len;
  // Frame header and payload go out in one send where they fit (every request the library
  // makes does), so a request is one write on the socket and nothing is allocated.
  unsigned char frame[kFrameBuffer];
  size_t head_total = simwire::kFrameHeaderSize + head_len;
  if (head_total > sizeof frame || payload > simwire::kMaxPayload) return false;
  simwire::put_frame_header(frame, kind, static_cast<uint32_t>(payload));
  if (head_len > 0) memcpy(frame + simwire::kFrameHeaderSize, head, head_len);
  bool sent;
  if (head_total + body_len <= sizeof frame) {
    if (body_len > 0) memcpy(frame + head_total, body, body_len);
    sent = send_all(dev, frame, head_total + body_len);
  } else {
    sent = send_all(dev, frame, head_total) && send_all(dev, body, body_len);
  }
  unsigned char reply[simwire::kFrameHeaderSize];
  uint32_t len = 0;
  if (!sent || !receive(dev, reply, sizeof reply) ||
      !simwire::get_frame_header(reply, reply_kind, &len)) {
    fail(dev);
    return false;
  }
  uint32_t keep = std::min(len, out_size);
  if (!receive(dev, out, keep) || !receive(dev, nullptr, len - keep)) {
    fail(dev);
    return false;
  }
  *payload_len = keep;
  return true;
}

// --- The port ------------------------------------------------------------------------------

std::string tcp_silence(const std::string &target);

bool sim_begin_walk(void) {
  walk_targets.clear();
  skipped_what.clear();
  skipped_why.clear();
  list_sockets(&walk_targets);
  std::vector<std::string> ports;
  list_tcp_ports(&ports);
  for (const std::string &port : ports) {
    std::string silence = tcp_silence(port);
    if (silence.empty()) {
      walk_targets.push_back(port);
    } else {
      skip(port, silence);
    }
  }
  return true;  // no simulator is simply no device
}

bool sim_interface_at(uint32_t index) { return index < walk_targets.size(); }

bool sim_device_path(uint32_t index, char *path, size_t size, size_t *length) {
  if (index >= walk_targets.size() || size == 0) return false;
  std::string full = device_path_of(walk_targets[index]);
  *length = full.size();
  snprintf(path, size, "%s", full.c_str());
  return true;
}

bool sim_driver_key(uint32_t index, char *key, size_t size) {
  if (index >= walk_targets.size() || size == 0) return false;
  snprintf(key, size, "zk32-sim\\%04u", static_cast<unsigned>(index));
  return true;
}

void sim_end_walk(void) { walk_targets.clear(); }

void *sim_open(const char *path, char *why, size_t why_size) {
  std::string target;
  if (path == nullptr || !target_of(path, &target)) {
    set_reason(why, why_size, "not a simulator path");
    return nullptr;
  }
  size_t tcp = sizeof kTcpPrefix - 1;
  socket_t s = target.compare(0, tcp, kTcpPrefix) == 0
                   ? connect_tcp(target.substr(tcp), why, why_size)
                   : connect_unix(target, why, why_size);
  if (s == kNoSocket) return nullptr;
  set_reply_timeout(s, kReplyTimeoutMs);
  return new_device(s);
}

void sim_close(void *device) {
  sim_device *dev = static_cast<sim_device *>(device);
  if (dev == nullptr) return;
  if (!dev->broken) close_socket(dev->sock);
  delete dev;
}

bool sim_vendor_set(void *device, const unsigned char *input, uint32_t len) {
  sim_device *dev = static_cast<sim_device *>(device);
  dn_setup_packet setup;
  if (!dn_vendor_write_setup(input, len, 0, 0, &setup)) return false;
  unsigned char packet[8];
  dn_setup_encode(setup, packet);
  uint8_t kind = 0;
  uint32_t payload = 0;
  if (!exchange(dev, simwire::kControl, packet, 8, input, len, &kind, nullptr, 0, &payload)) {
    return false;
  }
  return kind == simwire::kOk;
}

bool sim_vendor_get(void *device, const unsigned char *input, uint32_t len, unsigned char *out,
                    uint32_t out_size, uint32_t *got) {
  sim_device *dev = static_cast<sim_device *>(device);
  *got = 0;
  dn_setup_packet setup;
  if (!dn_vendor_read_setup(input, len, out_size, 0, 0, &setup)) return false;
  unsigned char packet[8];
  dn_setup_encode(setup, packet);
  uint8_t kind = 0;
  uint32_t payload = 0;
  if (!exchange(dev, simwire::kControl, packet, 8, nullptr, 0, &kind, out, out_size, &payload)) {
    return false;
  }
  if (kind != simwire::kOk) return false;
  *got = payload;
  return true;
}

int sim_read_stream(void *device, unsigned char *buf, uint32_t size) {
  sim_device *dev = static_cast<sim_device *>(device);
  unsigned char max[4];
  store_le32(max, size);
  uint8_t kind = 0;
  uint32_t payload = 0;
  if (!exchange(dev, simwire::kBulkIn, max, 4, nullptr, 0, &kind, buf, size, &payload)) return -1;
  return kind == simwire::kOk ? static_cast<int>(payload) : -1;
}

// One standard GET_DESCRIPTOR request (device recipient) on an open connection.
int get_descriptor(sim_device *dev, uint8_t type, uint8_t index, uint16_t language,
                   unsigned char *out, uint16_t size) {
  dn_setup_packet setup;
  setup.request_type = 0x80;
  setup.request = 6;  // GET_DESCRIPTOR
  setup.value = static_cast<uint16_t>(type << 8 | index);
  setup.index = language;
  setup.length = size;
  unsigned char packet[8];
  dn_setup_encode(setup, packet);
  uint8_t kind = 0;
  uint32_t got = 0;
  if (!exchange(dev, simwire::kControl, packet, 8, nullptr, 0, &kind, out, size, &got)) return -1;
  return kind == simwire::kOk ? static_cast<int>(got) : -1;
}

// "" when a simulator answers the device descriptor request on this TCP target, else why
// not.  A short time-out: a listener that never answers must not hold up every search.
std::string tcp_silence(const std::string &target) {
  char why[128] = "";
  socket_t s = connect_tcp(target.substr(sizeof kTcpPrefix - 1), why, sizeof why);
  if (s == kNoSocket) return why;
  set_reply_timeout(s, kProbeTimeoutMs);
  sim_device *dev = new_device(s);
  unsigned char desc[18];
  int got = get_descriptor(dev, 1, 0, 0, desc, sizeof desc);
  sim_close(dev);
  if (got != 18 || desc[1] != 1 || load_le16(desc + 8) != simwire::kVendorId) {
    return "no simulator answers on it";
  }
  return "";
}

// The serial: the device descriptor names the string, which comes as UTF-16LE; characters
// outside ASCII become '?', as libusb's ASCII reading gives them.
void read_serial(const char *path, char *serial, size_t size) {
  sim_device *dev = static_cast<sim_device *>(sim_open(path, nullptr, 0));
  if (dev == nullptr) return;
  unsigned char desc[255];
  int got = get_descriptor(dev, 1, 0, 0, desc, 18);
  if (got == 18 && desc[16] != 0) {
    got = get_descriptor(dev, 3, desc[16], 0x0409, desc, sizeof desc);
    size_t out = 0;
    for (int i = 2; got >= 2 && desc[1] == 3 && i + 1 < got && i + 1 < desc[0] &&
                    out + 1 < size;
         i += 2) {
      serial[out++] = desc[i + 1] == 0 && desc[i] >= 0x20 && desc[i] < 0x7f
                          ? static_cast<char>(desc[i])
                          : '?';
    }
    serial[out] = '\0';
  }
  sim_close(dev);
}

void sim_names(uint32_t index, const char *path, bool with_serial, dn_device_names *names) {
  if (index >= walk_targets.size()) return;
  const std::string &target = walk_targets[index];
  std::string location = target;
  if (target.compare(0, sizeof kTcpPrefix - 1, kTcpPrefix) != 0) {
    size_t slash = target.find_last_of('/');
    location = target.substr(slash == std::string::npos ? 0 : slash + 1);
    location.resize(location.size() - 5);  // ".sock": only such files are listed
  }
  snprintf(names->location, sizeof names->location, "%s", location.c_str());
  if (with_serial) read_serial(path, names->serial, sizeof names->serial);
}

}  // namespace

const dn_skipped_target *dn_sim_skipped(size_t *count) {
  skipped.clear();
  for (size_t i = 0; i < skipped_what.size(); ++i) {
    skipped.push_back({skipped_what[i].c_str(), skipped_why[i].c_str()});
  }
  *count = skipped.size();
  return skipped.data();
}

extern const dn_port dn_port_sim = {
    "sim",          sim_begin_walk, sim_interface_at, sim_device_path, sim_driver_key,
    sim_end_walk,   sim_open,       sim_close,        sim_vendor_set,  sim_vendor_get,
    sim_read_stream, sim_names,
};
