// SPDX-License-Identifier: Apache-2.0
// The usbredir port (usbredir_port.h).
//
// What QEMU 7.2's usb-redir device needs from the device side, on libusbredirparser 0.13:
//   - the parser initialised as the side that holds the device (usbredirparser_fl_usb_host);
//   - the caps ep_info_max_packet_size, 64bits_ids and 32bits_bulk_length, without which it
//     refuses the device for an xHCI controller;
//   - after its hello: interface_info, then ep_info, then device_connect, in that order (a
//     device announced without interface info is rejected and never retried);
//   - a non-blocking socket: the parser reads until the read callback returns 0.
// QEMU answers SET_ADDRESS itself and turns SET_CONFIGURATION and SET_INTERFACE into packets
// of their own; every other control transfer arrives as a control packet.  A control IN
// reply carries the data actually returned; an OUT reply echoes wLength with no data.
//
// A `fault vanish` is a cable pulled: the device is announced gone (device_disconnect), and
// announced again, as a new device, once the fault is cleared.  The connection stays up.
#include "sim/usbredir_port.h"

#include <errno.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

#if defined(ZK32SIM_HAVE_USBREDIR)

#include <poll.h>
#include <usbredirparser.h>

#include <algorithm>
#include <thread>
#include <vector>

#include "sim/printer_function.h"

namespace zk32sim {

namespace {

constexpr int kPresencePollMs = 20;  // how soon a vanish or its clearing is noticed
constexpr size_t kMaxBulkIn = 65536;

// One QEMU connection and its parser.
struct Session {
  Device &device;
  std::mutex &lock;
  const DeviceIdentity &identity;
  int fd;
  usbredirparser *parser = nullptr;
  bool hello_seen = false;
  bool connected = false;  // the device is announced to the peer
  bool broken = false;
  std::vector<uint8_t> in;
};

Session &session_of(void *priv) { return *static_cast<Session *>(priv); }

int read_socket(void *priv, uint8_t *data, int count) {
  Session &s = session_of(priv);
  ssize_t r = read(s.fd, data, size_t(count));
  if (r > 0) return int(r);
  if (r < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return 0;
  s.broken = true;  // end of stream or a failed socket: the peer is gone
  return -1;
}

int write_socket(void *priv, uint8_t *data, int count) {
  Session &s = session_of(priv);
  ssize_t r = send(s.fd, data, size_t(count), MSG_NOSIGNAL);
  if (r >= 0) return int(r);
  if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return 0;
  s.broken = true;
  return -1;
}

void log_message(void *, int level, const char *msg) {
  if (level <= usbredirparser_error) fprintf(stderr, "zk32-sim: usbredir: %s\n", msg);
}

// The interface, its endpoints, then the device: the order QEMU accepts.
void announce(Session &s) {
  usb_redir_interface_info_header interfaces;
  memset(&interfaces, 0, sizeof interfaces);
  interfaces.interface_count = 1;
  interfaces.interface[0] = kPrinterInterface;
  interfaces.interface_class[0] = 7;     // printer
  interfaces.interface_subclass[0] = 1;  // printer
  interfaces.interface_protocol[0] = 2;  // bidirectional
  usbredirparser_send_interface_info(s.parser, &interfaces);

  // Entry n is OUT endpoint n, entry 16 + n is IN endpoint n.
  usb_redir_ep_info_header endpoints;
  memset(&endpoints, 0, sizeof endpoints);
  memset(endpoints.type, usb_redir_type_invalid, sizeof endpoints.type);
  endpoints.type[0] = endpoints.type[16] = usb_redir_type_control;
  endpoints.max_packet_size[0] = endpoints.max_packet_size[16] = 64;
  const int out = kPrinterOutEndpoint & 0x0f, in = 16 + (kPrinterInEndpoint & 0x0f);
  for (int e : {out, in}) {
    endpoints.type[e] = usb_redir_type_bulk;
    endpoints.interface[e] = kPrinterInterface;
    endpoints.max_packet_size[e] = kBulkPacketSize;
  }
  usbredirparser_send_ep_info(s.parser, &endpoints);

  usb_redir_device_connect_header device;
  memset(&device, 0, sizeof device);
  device.speed = usb_redir_speed_high;
  device.vendor_id = s.identity.vendor;
  device.product_id = s.identity.product;
  device.device_version_bcd = 0x0100;
  usbredirparser_send_device_connect(s.parser, &device);
  s.connected = true;
}

// Follows the device's presence: gone after `fault vanish`, back after `fault-clear`.
// Caller holds the device lock.
void follow_presence(Session &s) {
  if (!s.hello_seen) return;
  bool gone = s.device.vanished();
  if (gone && s.connected) {
    usbredirparser_send_device_disconnect(s.parser);
    s.connected = false;
  } else if (!gone && !s.connected) {
    announce(s);
  }
}

void on_hello(void *priv, usb_redir_hello_header *) {
  Session &s = session_of(priv);
  s.hello_seen = true;
  std::lock_guard<std::mutex> hold(s.lock);
  follow_presence(s);
}

// One control transfer: the printer function's own requests, the descriptors, and the
// vendor requests that reach the chip or the probe.
int serve_control(Session &s, const SetupPacket &setup, const uint8_t *data, int data_len) {
  s.in.assign(std::max<size_t>(setup.length, 255), 0);
  if (is_printer_function_request(setup)) {
    return printer_function_request(setup, s.identity, s.in.data());
  }
  if (is_standard_device_request(setup)) {
    return standard_device_request(setup, s.identity, s.in.data());
  }
  return s.device.control(setup, data, data_len > 0 ? size_t(data_len) : 0, s.in.data());
}

void on_control(void *priv, uint64_t id, usb_redir_control_packet_header *header,
                uint8_t *data, int data_len) {
  Session &s = session_of(priv);
  SetupPacket setup{header->requesttype, header->request, header->value, header->index,
                    header->length};
  int result;
  {
    std::lock_guard<std::mutex> hold(s.lock);
    // A vanished device answers nothing: the peer cancels what it sent once told.
    bool gone = s.device.vanished() || !s.connected;
    if (!gone) {
      result = serve_control(s, setup, data, data_len);
      gone = s.device.vanished();
    }
    if (gone) {
      follow_presence(s);
      usbredirparser_free_packet_data(s.parser, data);
      return;
    }
  }
  usbredirparser_free_packet_data(s.parser, data);
  usb_redir_control_packet_header reply = *header;
  bool in = (header->requesttype & 0x80) != 0;
  reply.status = result < 0 ? usb_redir_stall : usb_redir_success;
  reply.length = result < 0 ? 0 : in ? uint16_t(result) : header->length;
  usbredirparser_send_control_packet(s.parser, id, &reply, in && result > 0 ? s.in.data() : nullptr,
                                     in && result > 0 ? result : 0);
}

// Bulk IN on the stream endpoint takes what the chip's UART has queued (possibly nothing);
// bulk OUT print data is taken and dropped.
void on_bulk(void *priv, uint64_t id, usb_redir_bulk_packet_header *header, uint8_t *data,
             int) {
  Session &s = session_of(priv);
  usbredirparser_free_packet_data(s.parser, data);
  uint32_t length = uint32_t(header->length) | uint32_t(header->length_high) << 16;
  usb_redir_bulk_packet_header reply = *header;
  int result = -1;
  {
    std::lock_guard<std::mutex> hold(s.lock);
    if (s.device.vanished() || !s.connected) {
      follow_presence(s);
      return;
    }
    if (header->endpoint == kPrinterInEndpoint) {
      s.in.assign(std::min<size_t>(length, kMaxBulkIn), 0);
      result = s.device.bulk_in(s.in.data(), s.in.size());
    } else if (header->endpoint == kPrinterOutEndpoint) {
      result = int(length);
    }
  }
  bool in = header->endpoint == kPrinterInEndpoint;
  reply.status = result < 0 ? usb_redir_stall : usb_redir_success;
  uint32_t done = result < 0 ? 0 : uint32_t(result);
  reply.length = uint16_t(done & 0xffff);
  reply.length_high = uint16_t(done >> 16);
  usbredirparser_send_bulk_packet(s.parser, id, &reply, in && done > 0 ? s.in.data() : nullptr,
                                  in ? int(done) : 0);
}

void on_set_configuration(void *priv, uint64_t id, usb_redir_set_configuration_header *h) {
  Session &s = session_of(priv);
  usb_redir_configuration_status_header status{
      uint8_t(h->configuration <= 1 ? usb_redir_success : usb_redir_stall), h->configuration};
  usbredirparser_send_configuration_status(s.parser, id, &status);
}

void on_get_configuration(void *priv, uint64_t id) {
  usb_redir_configuration_status_header status{usb_redir_success, 1};
  usbredirparser_send_configuration_status(session_of(priv).parser, id, &status);
}

void on_set_alt_setting(void *priv, uint64_t id, usb_redir_set_alt_setting_header *h) {
  usb_redir_alt_setting_status_header status{
      uint8_t(h->interface == kPrinterInterface && h->alt == 0 ? usb_redir_success
                                                               : usb_redir_stall),
      h->interface, h->alt};
  usbredirparser_send_alt_setting_status(session_of(priv).parser, id, &status);
}

void on_get_alt_setting(void *priv, uint64_t id, usb_redir_get_alt_setting_header *h) {
  usb_redir_alt_setting_status_header status{
      uint8_t(h->interface == kPrinterInterface ? usb_redir_success : usb_redir_inval),
      h->interface, 0};
  usbredirparser_send_alt_setting_status(session_of(priv).parser, id, &status);
}

// Requests this device has no use for: nothing to answer, data to free.
void on_reset(void *) {}
void on_cancel(void *, uint64_t) {}  // every packet is answered as it arrives
void on_filter_reject(void *) {}
void on_filter(void *, usbredirfilter_rule *rules, int) { free(rules); }
void on_disconnect_ack(void *) {}
void on_iso_packet(void *priv, uint64_t, usb_redir_iso_packet_header *, uint8_t *data, int) {
  usbredirparser_free_packet_data(session_of(priv).parser, data);
}
void on_interrupt_packet(void *priv, uint64_t, usb_redir_interrupt_packet_header *,
                         uint8_t *data, int) {
  usbredirparser_free_packet_data(session_of(priv).parser, data);
}

usbredirparser *make_parser(Session &s) {
  usbredirparser *p = usbredirparser_create();
  if (p == nullptr) return nullptr;
  p->priv = &s;
  p->log_func = log_message;
  p->read_func = read_socket;
  p->write_func = write_socket;
  p->hello_func = on_hello;
  p->reset_func = on_reset;
  p->set_configuration_func = on_set_configuration;
  p->get_configuration_func = on_get_configuration;
  p->set_alt_setting_func = on_set_alt_setting;
  p->get_alt_setting_func = on_get_alt_setting;
  p->cancel_data_packet_func = on_cancel;
  p->filter_reject_func = on_filter_reject;
  p->filter_filter_func = on_filter;
  p->device_disconnect_ack_func = on_disconnect_ack;
  p->control_packet_func = on_control;
  p->bulk_packet_func = on_bulk;
  p->iso_packet_func = on_iso_packet;
  p->interrupt_packet_func = on_interrupt_packet;
  uint32_t caps[USB_REDIR_CAPS_SIZE] = {0};
  usbredirparser_caps_set_cap(caps, usb_redir_cap_connect_device_version);
  usbredirparser_caps_set_cap(caps, usb_redir_cap_ep_info_max_packet_size);
  usbredirparser_caps_set_cap(caps, usb_redir_cap_64bits_ids);
  usbredirparser_caps_set_cap(caps, usb_redir_cap_32bits_bulk_length);
  usbredirparser_init(p, "zk32-sim", caps, USB_REDIR_CAPS_SIZE, usbredirparser_fl_usb_host);
  return p;
}

// Serves one connection until the peer goes away.
void serve_connection(Device &device, std::mutex &lock, const DeviceIdentity &identity,
                      int fd) {
  Session s{device, lock, identity, fd, nullptr, false, false, false, {}};
  s.parser = make_parser(s);
  if (s.parser == nullptr) return;
  while (!s.broken) {
    pollfd p = {fd, short(POLLIN | (usbredirparser_has_data_to_write(s.parser) ? POLLOUT : 0)),
                0};
    int n = poll(&p, 1, kPresencePollMs);
    if (n < 0 && errno != EINTR) break;
    if (n > 0 && (p.revents & (POLLIN | POLLHUP | POLLERR))) {
      if (usbredirparser_do_read(s.parser) == usbredirparser_read_io_error) s.broken = true;
    }
    {
      std::lock_guard<std::mutex> hold(lock);
      follow_presence(s);
    }
    if (usbredirparser_has_data_to_write(s.parser) && usbredirparser_do_write(s.parser) < 0) {
      s.broken = true;
    }
  }
  usbredirparser_destroy(s.parser);
}

}  // namespace

bool UsbredirPort::open(std::string *error) {
  sockaddr_un addr;
  memset(&addr, 0, sizeof addr);
  addr.sun_family = AF_UNIX;
  if (path_.size() >= sizeof addr.sun_path) {
    *error = "usbredir socket path too long: " + path_;
    return false;
  }
  memcpy(addr.sun_path, path_.c_str(), path_.size() + 1);
  unlink(path_.c_str());
  listen_fd_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listen_fd_ < 0 || bind(listen_fd_, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0 ||
      listen(listen_fd_, 4) != 0) {
    *error = "cannot listen on " + path_ + ": " + strerror(errno);
    return false;
  }
  file_made_ = true;
  return true;
}

void UsbredirPort::start() { std::thread(&UsbredirPort::run, this).detach(); }

void UsbredirPort::run() {
  for (;;) {
    int fd = accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd < 0) {
      if (errno != EINTR) usleep(10000);
      continue;
    }
    serve_connection(device_, lock_, identity_, fd);
    close(fd);
  }
}

}  // namespace zk32sim

#else  // built without libusbredirparser

namespace zk32sim {

bool UsbredirPort::open(std::string *error) {
  *error = "this zk32-sim was built without libusbredirparser (no --usbredir)";
  return false;
}
void UsbredirPort::start() {}
void UsbredirPort::run() {}

}  // namespace zk32sim

#endif

namespace zk32sim {

UsbredirPort::~UsbredirPort() {
  if (listen_fd_ >= 0) close(listen_fd_);
}

void UsbredirPort::remove_file() {
  if (file_made_) unlink(path_.c_str());
  file_made_ = false;
}

}  // namespace zk32sim
