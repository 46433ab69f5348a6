// SPDX-License-Identifier: Apache-2.0
// The simulator daemon's listener: a Unix-domain socket DIR/NAME.sock (and optionally a
// loopback TCP port), one thread per connection, every request serialised on the Device.
#ifndef ZK32SIM_SERVER_H
#define ZK32SIM_SERVER_H

#include <mutex>
#include <string>

#include "sim/device_model.h"

namespace zk32sim {

struct ServerConfig {
  std::string dir;
  std::string name = "zk32-0";
  int tcp_port = 0;  // 0: no TCP listener
  std::string serial;  // the USB serial number the device reports ("": none)
};

std::string socket_path(const ServerConfig &config);
std::string pid_path(const ServerConfig &config);

class Server {
 public:
  Server(Device &device, const ServerConfig &config) : device_(device), config_(config) {}
  ~Server();
  // Binds and listens; on failure *error says why.  A stale socket file is replaced, a live
  // one is an error.
  bool open(std::string *error);
  // Accepts clients until SIGTERM, SIGINT or stop_from_signal(); then removes its files.
  void run();
  // The lock every request to the device is served under (other ports share it).
  std::mutex &device_lock() { return device_lock_; }

 private:
  void serve_client(int fd);
  void remove_files();

  Device &device_;
  ServerConfig config_;
  std::mutex device_lock_;
  int unix_fd_ = -1;
  int tcp_fd_ = -1;
  bool files_made_ = false;
};

}  // namespace zk32sim

#endif
