// SPDX-License-Identifier: Apache-2.0
#include "sim/server.h"

#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <thread>
#include <vector>

#include "wire/regular_file.h"
#include "sim/usb_descriptors.h"
#include "wire/frame_io.h"
#include "wire/sim_wire.h"

namespace zk32sim {

namespace {

int g_wake_pipe[2] = {-1, -1};

void on_stop_signal(int) {
  char c = 'x';
  ssize_t ignored = write(g_wake_pipe[1], &c, 1);
  (void)ignored;
}

bool fill_unix_address(const std::string &path, sockaddr_un *addr) {
  memset(addr, 0, sizeof *addr);
  addr->sun_family = AF_UNIX;
  if (path.size() >= sizeof addr->sun_path) return false;
  memcpy(addr->sun_path, path.c_str(), path.size() + 1);
  return true;
}

bool socket_is_live(const std::string &path) {
  sockaddr_un addr;
  if (!fill_unix_address(path, &addr)) return false;
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  bool live = connect(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) == 0;
  close(fd);
  return live;
}

}  // namespace

std::string socket_path(const ServerConfig &config) {
  return config.dir + "/" + config.name + ".sock";
}
std::string pid_path(const ServerConfig &config) { return config.dir + "/" + config.name + ".pid"; }

Server::~Server() {
  if (unix_fd_ >= 0) close(unix_fd_);
  if (tcp_fd_ >= 0) close(tcp_fd_);
}

bool Server::open(std::string *error) {
  std::string path = socket_path(config_);
  sockaddr_un addr;
  if (!fill_unix_address(path, &addr)) {
    *error = "socket path too long: " + path;
    return false;
  }
  if (socket_is_live(path)) {
    *error = "a simulator already listens on " + path;
    return false;
  }
  unlink(path.c_str());
  unix_fd_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (unix_fd_ < 0 || bind(unix_fd_, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0 ||
      listen(unix_fd_, 64) != 0) {
    *error = "cannot listen on " + path + ": " + strerror(errno);
    return false;
  }
  files_made_ = true;
  if (config_.tcp_port > 0) {
    tcp_fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int one = 1;
    setsockopt(tcp_fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in in;
    memset(&in, 0, sizeof in);
    in.sin_family = AF_INET;
    in.sin_port = htons(uint16_t(config_.tcp_port));
    in.sin_addr.s_addr = htonl(INADDR_LOOPBACK);  // never reachable from other hosts
    if (tcp_fd_ < 0 || bind(tcp_fd_, reinterpret_cast<sockaddr *>(&in), sizeof in) != 0 ||
        listen(tcp_fd_, 64) != 0) {
      *error = "cannot listen on 127.0.0.1:" + std::to_string(config_.tcp_port) + ": " +
               strerror(errno);
      remove_files();
      return false;
    }
  }
  FILE *pid = dn_open_regular(pid_path(config_).c_str(), "w");
  if (pid) {
    fprintf(pid, "%d\n", int(getpid()));
    fclose(pid);
  }
  return true;
}

void Server::remove_files() {
  if (!files_made_) return;
  unlink(socket_path(config_).c_str());
  unlink(pid_path(config_).c_str());
  files_made_ = false;
}

void Server::run() {
  if (pipe2(g_wake_pipe, O_CLOEXEC) != 0) return;
  struct sigaction sa;
  memset(&sa, 0, sizeof sa);
  sa.sa_handler = on_stop_signal;
  sigaction(SIGTERM, &sa, nullptr);
  sigaction(SIGINT, &sa, nullptr);
  signal(SIGPIPE, SIG_IGN);
  for (;;) {
    pollfd fds[3] = {{g_wake_pipe[0], POLLIN, 0}, {unix_fd_, POLLIN, 0}, {tcp_fd_, POLLIN, 0}};
    int n = poll(fds, tcp_fd_ >= 0 ? 3 : 2, -1);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 || fds[0].revents) break;
    for (int i = 1; i < 3; ++i) {
      if (!(fds[i].revents & POLLIN)) continue;
      int client = accept4(fds[i].fd, nullptr, nullptr, SOCK_CLOEXEC);
      if (client < 0) continue;
      if (i == 2) {
        int one = 1;
        setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
      }
      std::thread(&Server::serve_client, this, client).detach();
    }
  }
  remove_files();
}

void Server::serve_client(int fd) {
  const DeviceIdentity identity{simwire::kVendorId, simwire::kSimProductId, config_.serial};
  uint8_t kind;
  std::string payload;
  std::vector<uint8_t> in;
  while (simwire::receive_frame(fd, &kind, &payload)) {
    bool sent;
    if (kind == simwire::kText) {
      bool ok;
      std::string reply;
      {
        std::lock_guard<std::mutex> hold(device_lock_);
        reply = device_.command(payload, &ok);
      }
      sent = simwire::send_frame(fd, ok ? simwire::kOk : simwire::kError, reply.data(),
                                 reply.size());
    } else if (kind == simwire::kControl || kind == simwire::kBulkIn) {
      int result;
      {
        std::lock_guard<std::mutex> hold(device_lock_);
        if (device_.vanished()) break;  // a vanished device drops its connections
        const uint8_t *p = reinterpret_cast<const uint8_t *>(payload.data());
        if (kind == simwire::kBulkIn) {
          uint32_t max = payload.size() >= 4 ? uint32_t(p[0]) | uint32_t(p[1]) << 8 |
                                                   uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24
                                             : 0;
          in.assign(max > 65536 ? 65536 : max, 0);
          result = device_.bulk_in(in.data(), in.size());
        } else if (payload.size() >= 8) {
          SetupPacket s = dn_setup_decode(p);
          in.assign(s.length < 255 ? 255 : s.length, 0);
          result = is_standard_device_request(s)
                       ? standard_device_request(s, identity, in.data())
                       : device_.control(s, p + 8, payload.size() - 8, in.data());
        } else {
          result = -1;
        }
        if (device_.vanished()) break;
      }
      sent = result < 0 ? simwire::send_frame(fd, simwire::kStall, nullptr, 0)
                        : simwire::send_frame(fd, simwire::kOk, in.data(), size_t(result));
    } else {
      sent = simwire::send_frame(fd, simwire::kError, "unknown frame", 13);
    }
    if (!sent) break;
  }
  close(fd);
}

}  // namespace zk32sim
