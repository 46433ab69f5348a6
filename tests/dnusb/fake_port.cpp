// SPDX-License-Identifier: Apache-2.0
#include "fake_port.h"

#include <stdio.h>
#include <string.h>

#include <algorithm>

#include "clock.h"
#include "port.h"

namespace fake {

State &state() {
  static State s;
  return s;
}

uint32_t Request::address() const {
  if (input[0] & 0x80) return (input[0] & 0x3fu) << 16 | input[2] << 8 | input[1];
  return static_cast<uint32_t>(input[1] << 8 | input[2]);
}

bool Request::fixed() const { return (input[0] & 0x80) ? (input[0] & 0x40) != 0 : input[0] == 3; }

namespace {

struct Opened {
  int device;
};

bool begin_walk() { return true; }
bool interface_at(uint32_t i) { return i < state().interfaces.size(); }
bool device_path(uint32_t i, char *path, size_t size, size_t *length) {
  const Interface &it = state().interfaces[i];
  if (it.detail_fails) return false;
  *length = it.path.size();
  snprintf(path, size, "%s", it.path.c_str());
  return true;
}
bool driver_key(uint32_t i, char *key, size_t size) {
  snprintf(key, size, "{fake}\\%u", static_cast<unsigned>(i));
  return !state().interfaces[i].key_fails;
}
void end_walk() {}

void *open(const char *path, char *, size_t) {
  auto &ifs = state().interfaces;
  state().tried.push_back(path);
  for (size_t i = 0; i < ifs.size(); ++i) {
    if (ifs[i].path == path && !ifs[i].open_fails) {
      state().opened.push_back(path);
      return new Opened{static_cast<int>(i)};
    }
  }
  return nullptr;
}
void close(void *device) {
  delete static_cast<Opened *>(device);
  ++state().closed;
}

bool vendor_set(void *device, const unsigned char *input, uint32_t len) {
  Request r{true, Bytes(input, input + len), 0, static_cast<Opened *>(device)->device};
  state().log.push_back(r);
  if (state().on_write) return state().on_write(r);
  uint32_t a = r.address();
  for (uint32_t i = 8; i < len; ++i) state().memory[(r.fixed() ? a : a + i - 8) % state().memory.size()] = input[i];
  return true;
}

bool vendor_get(void *device, const unsigned char *input, uint32_t len, unsigned char *out,
                uint32_t out_size, uint32_t *got) {
  int dev = static_cast<Opened *>(device)->device;
  Request r{false, Bytes(input, input + len), out_size, dev};
  state().log.push_back(r);
  Reply reply{true, {}};
  if (state().on_read) {
    reply = state().on_read(r);
  } else if (r.address() == 0x7e && state().interfaces.size() > static_cast<size_t>(dev)) {
    const Interface &it = state().interfaces[dev];
    uint32_t v = it.identity;
    reply = Reply{!it.identity_fails, {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8),
                                       static_cast<unsigned char>(v >> 16), static_cast<unsigned char>(v >> 24)}};
  } else {
    for (uint32_t i = 0; i + 8 < out_size; ++i) {
      reply.data.push_back(state().memory[(r.address() + (r.fixed() ? 0 : i)) % state().memory.size()]);
    }
  }
  if (!reply.ok) return false;
  // A real driver never stores more than offered; the fake reports what it delivered.
  size_t n = std::min<size_t>(reply.data.size(), out_size);
  memcpy(out, reply.data.data(), n);
  *got = static_cast<uint32_t>(n);
  return true;
}

int read_stream(void *, unsigned char *, uint32_t) { return -1; }

void names(uint32_t i, const char *, bool with_serial, dn_device_names *out) {
  const State &s = state();
  if (i < s.locations.size()) snprintf(out->location, sizeof out->location, "%s", s.locations[i].c_str());
  if (!with_serial) return;
  ++state().serial_reads;
  if (i < s.serials.size()) snprintf(out->serial, sizeof out->serial, "%s", s.serials[i].c_str());
}

const dn_port port = {"fake", begin_walk, interface_at, device_path, driver_key, end_walk,
                      open, close, vendor_set, vendor_get, read_stream, names};
const dn_port *const ports[] = {&port};

uint32_t tick() { return state().now += state().tick_step; }
void sleep_ms(uint32_t ms) { state().sleeps.push_back(ms); }

}  // namespace

void PortTest::SetUp() {
  state() = State();
  dn_ports_override(ports, 1);
  dn_clock_override(tick, sleep_ms);
}

void PortTest::TearDown() {
  dn_ports_override(nullptr, 0);
  dn_clock_override(nullptr, nullptr);
}

dn_handle_t PortTest::open_device() {
  state().interfaces = {Interface{"usb\\vid_3a7e&pid_5a32\\1", false, false, false, 0x4715, false}};
  dn_handle_t h = GetPrintDeviceHandle(0xffff);
  state().log.clear();
  return h;
}

}  // namespace fake
