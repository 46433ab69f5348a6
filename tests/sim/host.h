// SPDX-License-Identifier: Apache-2.0
// Drives a simulated device the way the library's vendor requests reach it: one control
// transfer per request, header bytes included in the data stage.  Time stands still for the
// device until the test moves it on with pass_ms (unless the real clock is asked for).
#ifndef TESTS_SIM_HOST_H
#define TESTS_SIM_HOST_H

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sim/clock.h"
#include "sim/device_model.h"

namespace simtest {

enum class Layout { kShort, kLong };
enum class Time { kManual, kReal };

class ManualClock : public zk32sim::Clock {
 public:
  double now_ms() const override { return now_; }
  void pass_ms(double ms) { now_ += ms; }

 private:
  double now_ = 1000;
};

class Host {
 public:
  explicit Host(zk32sim::Options options, Time time = Time::kManual) {
    if (time == Time::kManual) options.clock = &clock_;
    device_ = zk32sim::Device::create(options);
  }
  static zk32sim::Options options(const std::string &mode, int type) {
    zk32sim::Options o;
    o.mode = mode;
    o.mcu_type = type;
    return o;
  }

  // Header bytes 0..2 as the library builds them for `layout`.
  static void header(Layout layout, uint32_t address, bool fixed, uint8_t out[3]) {
    if (layout == Layout::kShort) {
      out[0] = fixed ? 0x03 : 0x02;
      out[1] = uint8_t(address >> 8);
      out[2] = uint8_t(address);
    } else {
      out[0] = uint8_t(0x80 | (fixed ? 0x40 : 0) | ((address >> 16) & 0x3f));
      out[1] = uint8_t(address);
      out[2] = uint8_t(address >> 8);
    }
  }

  // -1 on a stall, else 0.
  int write(uint32_t address, const std::vector<uint8_t> &data, Layout layout = Layout::kShort,
            bool fixed = false) {
    std::vector<uint8_t> buffer(8, data.empty() ? 0 : data[0]);
    header(layout, address, fixed, buffer.data());
    buffer.insert(buffer.end(), data.begin(), data.end());
    zk32sim::SetupPacket s;
    if (!dn_vendor_write_setup(buffer.data(), uint32_t(buffer.size()), 0, 0, &s)) return -1;
    return device_->control(s, buffer.data(), buffer.size(), nullptr);
  }
  int write_byte(uint32_t address, uint8_t value, Layout layout = Layout::kShort) {
    return write(address, {value}, layout);
  }

  // The bytes delivered; `*result` gets the transfer's result (-1 stall).
  std::vector<uint8_t> read(uint32_t address, size_t n, Layout layout = Layout::kShort,
                            bool fixed = false, int *result = nullptr) {
    uint8_t h[3];
    header(layout, address, fixed, h);
    zk32sim::SetupPacket s;
    std::vector<uint8_t> in(n + 8, 0xcc);
    int r = -1;
    if (dn_vendor_read_setup(h, 3, uint32_t(n + 8), 0, 0, &s)) {
      r = device_->control(s, nullptr, 0, in.data());
    }
    if (result) *result = r;
    in.resize(r > 0 ? size_t(r) : 0);
    return in;
  }
  uint8_t read_byte(uint32_t address, Layout layout = Layout::kShort) {
    std::vector<uint8_t> b = read(address, 1, layout);
    return b.empty() ? 0 : b[0];
  }
  uint32_t read_word(uint32_t address, Layout layout = Layout::kShort) {
    std::vector<uint8_t> b = read(address, 4, layout);
    if (b.size() != 4) return 0xdeadbeef;
    return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
  }

  std::string ctl(const std::string &line) {
    bool ok = false;
    std::string reply = device_->command(line, &ok);
    last_ok_ = ok;
    return reply;
  }
  bool last_ok() const { return last_ok_; }
  zk32sim::Device &device() { return *device_; }
  void pass_ms(double ms) { clock_.pass_ms(ms); }

 private:
  ManualClock clock_;  // declared first: the device uses it until it is destroyed
  std::unique_ptr<zk32sim::Device> device_;
  bool last_ok_ = false;
};

}  // namespace simtest

#endif
