// SPDX-License-Identifier: Apache-2.0
// The simulated device served to a real kernel's USB stack: a Unix-domain socket that QEMU's
// usb-redir device connects to, speaking the usbredir protocol (libusbredirparser), e.g.
//   qemu-system-x86_64 ... -device qemu-xhci,id=xhci
//       -chardev socket,id=zk,path=PATH -device usb-redir,chardev=zk,bus=xhci.0
// The guest's host controller driver, usbcore and printer driver then carry every request.
// Requests are served on the same Device, under the same lock, as the simulator's own
// socket, so `zk32-sim ctl` observes and steers the device while the guest uses it.
//
// One connection at a time; a peer that goes away (QEMU's device_del, a stopped VM) frees the
// socket for the next.  Built without libusbredirparser, open() fails saying so.
#ifndef ZK32SIM_USBREDIR_PORT_H
#define ZK32SIM_USBREDIR_PORT_H

#include <mutex>
#include <string>

#include "sim/device_model.h"
#include "sim/usb_descriptors.h"

namespace zk32sim {

class UsbredirPort {
 public:
  UsbredirPort(Device &device, std::mutex &device_lock, const DeviceIdentity &identity,
               const std::string &path)
      : device_(device), lock_(device_lock), identity_(identity), path_(path) {}
  ~UsbredirPort();
  UsbredirPort(const UsbredirPort &) = delete;
  UsbredirPort &operator=(const UsbredirPort &) = delete;

  // Binds and listens on the path (a stale socket file is replaced); on failure *error says
  // why.
  bool open(std::string *error);
  // Serves connections on a thread of its own until the process ends.
  void start();
  // Removes the socket file.
  void remove_file();

 private:
  void run();

  Device &device_;
  std::mutex &lock_;
  DeviceIdentity identity_;
  std::string path_;
  int listen_fd_ = -1;
  bool file_made_ = false;
};

}  // namespace zk32sim

#endif
