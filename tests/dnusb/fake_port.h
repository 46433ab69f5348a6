// SPDX-License-Identifier: Apache-2.0
// A recording fake port for the library's unit tests: a list of device interfaces with
// switchable failures, a log of every vendor request, and a device memory that answers
// reads and takes writes unless a test scripts the replies itself.
#ifndef DNUSB_TESTS_FAKE_PORT_H
#define DNUSB_TESTS_FAKE_PORT_H

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "dnusb.h"
#include "support/hex_text.h"

namespace fake {

using Bytes = std::vector<unsigned char>;

struct Interface {
  std::string path;
  bool detail_fails = false;
  bool key_fails = false;
  bool open_fails = false;
  uint32_t identity = 0;     // bytes 0x7e..0x81 of this device
  bool identity_fails = false;
};

struct Request {
  bool write;        // vendor write (set) or vendor read (get)
  Bytes input;       // the whole request as the library built it
  uint32_t out_size; // reads: output size offered
  int device;        // index of the interface it went to
  uint32_t address() const;  // decoded from bytes 0..2 in either layout
  bool fixed() const;
};

struct Reply {
  bool ok;
  Bytes data;
};

struct State {
  std::vector<Interface> interfaces;
  std::vector<Request> log;
  std::vector<std::string> opened;   // paths, in order of opening
  std::vector<std::string> tried;    // every path asked to be opened, opened or not
  int closed = 0;
  Bytes memory = Bytes(1u << 22);    // the device address space (one for all devices)
  // Replace the device's behaviour; null = memory semantics.
  std::function<Reply(const Request &)> on_read;
  std::function<bool(const Request &)> on_write;
  uint32_t now = 0;                  // library clock, advanced by each tick read
  uint32_t tick_step = 1;
  std::vector<uint32_t> sleeps;
  // Names for DNUSB_DEVICE by interface index ("" where missing), and serials asked for.
  std::vector<std::string> locations, serials;
  int serial_reads = 0;
};

State &state();

// Installs the fake port (and the fake clock) for one test; removes it at the end.
class PortTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  // A handle on a single maker's device with identity 0x4715.
  dn_handle_t open_device();
  State &fake() { return state(); }
  std::vector<Request> &log() { return state().log; }
};

using hex_text::to_hex;

}  // namespace fake

#endif
