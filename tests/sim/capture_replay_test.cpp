// SPDX-License-Identifier: Apache-2.0
// A session of the real program traced with DNUSB_TRACE against the simulator, then read back:
// decoded as the simulator's own trace, replayed against a fresh device, replayed with one
// answer byte changed, and decoded by tshark as USB.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "support/shell_command.h"
#include "harness.h"
#include "wire/usbmon_pcap.h"

namespace {

const std::string kFirmware = ZK32_EXAMPLES_DIR "/firmware.bin";
const std::string kListing = ZK32_EXAMPLES_DIR "/firmware.lst";

using Outcome = shell_command::ShellResult;
using shell_command::run_shell;

Outcome sim_tool(const std::string &args) {
  return run_shell(harness::simulator_program() + " " + args + " 2>&1");
}

std::vector<std::string> lines_of(const std::string &text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

struct Case {
  const char *name;
  const char *sim_options;  // also the replay's device options, less the timing
  const char *replay_options;
  const char *chip;
  bool usb;
};

class TracedSession : public ::testing::TestWithParam<Case> {
 protected:
  void SetUp() override {
    dir_ = harness::make_temp_dir();
    capture_ = dir_ + "/session.pcap";
    setenv("DNUSB_TRACE", capture_.c_str(), 1);
    for (std::vector<std::string> args :
         {std::vector<std::string>{"wf", "0", "-i", kFirmware},
          {"rf", "0", "-s", "256", "-o", dir_ + "/back.bin"},
          {"rc", GetParam().usb ? "8000" : "40000", "-s", "16"},
          {"rst"},
          {"stop"},
          {"pc", "-i", kListing}}) {
      args.insert(args.begin(), GetParam().chip);
      if (GetParam().usb) args.push_back("-u");
      harness::RunResult run = harness::run_orvane(install_, args, &sim_);
      EXPECT_EQ(0, run.exit_code) << args[1] << ": " << run.out;
    }
    unsetenv("DNUSB_TRACE");
  }
  void TearDown() override { harness::remove_tree(dir_); }

  Outcome replay(const std::string &file) {
    return sim_tool("replay " + file + " " + GetParam().replay_options);
  }

  harness::Install install_;
  harness::Simulator sim_{GetParam().sim_options};
  std::string dir_, capture_;
};

TEST_P(TracedSession, DecodesAsTheSimulatorsTraceAndReplaysWithoutDifference) {
  std::vector<std::string> seen;
  for (const std::string &line : sim_.trace()) {
    if (line.compare(0, 2, "w ") == 0 || line.compare(0, 2, "r ") == 0) seen.push_back(line);
  }
  Outcome decoded = sim_tool("decode " + capture_);
  ASSERT_EQ(0, decoded.status) << decoded.out;
  ASSERT_GT(seen.size(), 100u);
  EXPECT_EQ(seen, lines_of(decoded.out));

  Outcome replayed = replay(capture_);
  EXPECT_EQ(0, replayed.status) << replayed.out;
  EXPECT_NE(std::string::npos, replayed.out.find(" agree, 0 differ, ")) << replayed.out;
}

// The largest answer of the capture gets one byte changed: the replay names that request
// and that offset.
TEST_P(TracedSession, AChangedAnswerByteIsReportedAtItsRequestAndOffset) {
  std::string bytes = harness::read_file(capture_);
  const unsigned char *data = reinterpret_cast<const unsigned char *>(bytes.data());
  uint32_t link = 0;
  ASSERT_TRUE(dn_pcap_get_file_header(data, bytes.size(), &link));
  size_t at = kDnPcapFileHeaderSize, frame = 0, best_frame = 0, best_at = 0, best_len = 0;
  while (at < bytes.size()) {
    dn_usbmon_event e{};
    size_t used = dn_usbmon_get(data + at, bytes.size() - at, link, &e);
    ASSERT_NE(0u, used);
    ++frame;
    if (e.type == 'C' && e.data_length > best_len) {
      best_frame = frame;
      best_len = e.data_length;
      best_at = size_t(e.data - data);
    }
    at += used;
  }
  ASSERT_GE(best_len, 16u);
  const size_t offset = best_len / 2 + 3;
  bytes[best_at + offset] = char(bytes[best_at + offset] ^ 0x10);
  std::string changed = dir_ + "/changed.pcap";
  harness::write_file(changed, bytes);

  Outcome replayed = replay(changed);
  EXPECT_EQ(1, replayed.status) << replayed.out;
  // Each request is a submit and a completion, one after the other.
  std::string where = "first difference: request " + std::to_string(best_frame / 2) +
                      " (frames " + std::to_string(best_frame - 1) + "-" +
                      std::to_string(best_frame) + ")";
  EXPECT_EQ(0u, replayed.out.find(where)) << replayed.out;
  EXPECT_NE(std::string::npos,
            replayed.out.find("first differing offset: " + std::to_string(offset) + "\n"))
      << replayed.out;
  EXPECT_NE(std::string::npos, replayed.out.find(" 1 differ, ")) << replayed.out;
}

// tshark decodes every record as USB, and the setup packets it shows are the ones the
// simulator received.
TEST_P(TracedSession, TsharkDecodesEveryPacketWithTheSetupTheDeviceSaw) {
  if (run_shell("command -v tshark >/dev/null 2>&1").status != 0) {
    GTEST_SKIP() << "SKIP: tshark is not installed (scripts/setup-deps.sh installs it)";
  }
  Outcome fields = run_shell("tshark -r " + capture_ +
                         " -T fields -E separator=, -e frame.protocols -e usb.urb_type"
                         " -e usb.bmRequestType -e usb.setup.bRequest -e usb.setup.wValue"
                         " -e usb.setup.wIndex -e usb.setup.wLength 2>/dev/null");
  ASSERT_EQ(0, fields.status);
  std::vector<std::string> setups;
  std::vector<std::string> records = lines_of(fields.out);
  for (const std::string &line : records) {
    ASSERT_EQ(0u, line.find("usb,")) << line;
    unsigned long type, request, value, index, length;
    if (line.find(",'S',") == std::string::npos) continue;
    ASSERT_EQ(5, sscanf(line.c_str() + line.find("'S',") + 4, "%li,%li,%li,%li,%li", &type,
                        &request, &value, &index, &length))
        << line;
    char text[32];
    snprintf(text, sizeof text, "%02lx %02lx %04lx %04lx %04lx", type, request, value, index,
             length);
    setups.push_back(text);
  }
  std::vector<std::string> received;
  for (const std::string &line : lines_of(sim_.ctl("trace-raw"))) {
    received.push_back(line.substr(0, 20));
  }
  EXPECT_EQ(records.size(), 2 * setups.size());
  EXPECT_EQ(received, setups);
}

INSTANTIATE_TEST_SUITE_P(
    UsbAndEvk, TracedSession,
    ::testing::Values(Case{"Usb", "--mode usb --type 1", "--mode usb --type 1", "4710", true},
                      Case{"EvkRealTiming", "--mode evk --type 3 --timing real",
                           "--mode evk --type 3", "4715", false}),
    [](const ::testing::TestParamInfo<Case> &param_info) { return std::string(param_info.param.name); });

// Hand-made captures: what a replay must not let pass.  Transfers of a usb-mode type 1 chip:
// a write to SRAM (accepted by the device) and a read of the program counter (a timed byte).
struct Transfer {
  std::vector<uint8_t> setup, out, in;
  bool stalled;
};

std::string capture_of(const std::vector<Transfer> &transfers, size_t cut) {
  unsigned char head[kDnPcapFileHeaderSize];
  dn_pcap_put_file_header(head);
  std::string file(reinterpret_cast<char *>(head), sizeof head);
  uint64_t id = 1;
  for (const Transfer &t : transfers) {
    for (char type : {'S', 'C'}) {
      dn_usbmon_event e{};
      e.id = id;
      e.type = type;
      e.xfer_type = kDnUsbmonControl;
      e.endpoint = t.setup[0] & 0x80;
      e.has_setup = type == 'S';
      memcpy(e.setup, t.setup.data(), 8);
      e.status = type == 'S' ? kDnUsbmonInProgress : t.stalled ? kDnUsbmonStall : 0;
      const std::vector<uint8_t> &data = type == 'S' ? t.out : t.in;
      e.data = data.data();
      e.data_length = uint32_t(data.size());
      e.length = e.data_length;
      unsigned char record[512];
      size_t n = dn_usbmon_put(e, record, sizeof record);
      file.append(reinterpret_cast<char *>(record), n);
    }
    ++id;
  }
  return file.substr(0, file.size() - cut);
}

TEST(HandMadeCapture, ReplayPassesOnlyWhatItComparedAndFoundAlike) {
  const Transfer write = {{0x41, 0x02, 0x00, 0x80, 0, 0, 9, 0},
                          {0x02, 0x80, 0x00, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11}, {}, false};
  Transfer stalled_write = write;
  stalled_write.stalled = true;
  // The program counter reads as the device's 4 bytes; the capture holds 6.
  const Transfer long_pc = {{0xc1, 0x02, 0xbc, 0x06, 0, 0, 12, 0}, {}, {1, 2, 3, 4, 5, 6}, false};
  struct Made {
    const char *name;
    std::vector<Transfer> transfers;
    size_t cut;
    int status;
  };
  const Made cases[] = {
      {"agreeing write", {write}, 0, 0},
      {"header only", {}, 0, 3},
      {"cut short", {write, write}, 5, 3},
      {"captured stall, device accepts", {write, stalled_write}, 0, 1},
      {"timed answer of another length", {write, long_pc}, 0, 1},
  };
  std::string dir = harness::make_temp_dir();
  for (const Made &c : cases) {
    harness::write_file(dir + "/c.pcap", capture_of(c.transfers, c.cut));
    Outcome replayed = sim_tool("replay " + dir + "/c.pcap --mode usb --type 1");
    EXPECT_EQ(c.status, replayed.status) << c.name << "\n" << replayed.out;
  }
  // A capture that is not a plain file is refused at once, never waited on.
  ASSERT_EQ(0, mkfifo((dir + "/fifo").c_str(), 0600));
  for (const char *verb : {"decode ", "replay "}) {
    Outcome refused = sim_tool(std::string(verb) + dir + "/fifo");
    EXPECT_EQ(2, refused.status) << verb;
    EXPECT_NE(std::string::npos, refused.out.find("not a regular file")) << refused.out;
  }
  harness::remove_tree(dir);
}

}  // namespace
