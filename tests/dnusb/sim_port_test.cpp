// SPDX-License-Identifier: Apache-2.0
// The shared library against the device simulator: discovery through the rendezvous
// directory, both routes, and a device that misbehaves.
#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "dnusb.h"
#include "harness.h"
#include "support/shell_command.h"

namespace {

std::vector<unsigned char> pattern(size_t n, unsigned seed) {
  std::vector<unsigned char> out(n);
  for (size_t i = 0; i < n; ++i) out[i] = static_cast<unsigned char>((i * 131 + seed) >> 1);
  return out;
}

// Runs a shell command; returns its output, *code its exit code.
std::string run_shell(const std::string &command, int *code) {
  shell_command::ShellResult shell = shell_command::run_shell(command + " 2>&1");
  *code = shell.status;
  return shell.out;
}

std::string run_lister(int *code) { return run_shell(DNUSB_LIST_PROGRAM, code); }

// A second board beside the harness's simulator ("zk32-0", no serial): "board-b", serial
// SN-B, also listening on a loopback TCP port as a board is reached under Windows.
class TwoBoards : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(a_.running());
    tcp_ = std::to_string(20000 + getpid() % 20000);
    int code = 0;
    std::string log = run_shell(harness::simulator_program() + " start --dir " + a_.dir() +
                                    " --name board-b --serial SN-B --tcp " + tcp_, &code);
    ASSERT_EQ(code, 0) << log;
    setenv("ZK32_SIM_DIR", a_.dir().c_str(), 1);
    setenv("ZK32_SIM_TCP", tcp_.c_str(), 1);
  }
  void TearDown() override {
    unsetenv("DNUSB_DEVICE");
    unsetenv("ZK32_SIM_TCP");
  }
  // A control command on one board by name; returns its reply.
  std::string ctl(const std::string &board, const std::string &command) {
    int code = 0;
    return run_shell(harness::simulator_program() + " ctl --dir " + a_.dir() + " --name " +
                         board + " " + command, &code);
  }

  harness::Simulator a_{"--mode usb --type 1 --timing zero"};
  std::string tcp_;
};

// DNUSB_DEVICE by name, serial (any case) or TCP location: the selected board alone sees
// the search's probe and the write that follows; a selector that matches nothing is no
// device, and no board sees a request.
TEST_F(TwoBoards, DeviceSelectorSendsTheTrafficToTheSelectedBoardOnly) {
  struct Case {
    std::string selector;
    const char *board;  // nullptr: no device
  };
  const Case cases[] = {{"board-b", "board-b"}, {"sn-b", "board-b"}, {"zk32-0", "zk32-0"},
                        {"tcp:" + tcp_, "board-b"}, {"SN-C", nullptr}};
  for (const Case &c : cases) {
    ctl("zk32-0", "trace-clear");
    ctl("board-b", "trace-clear");
    setenv("DNUSB_DEVICE", c.selector.c_str(), 1);
    dn_handle_t h = GetPrintDeviceHandle(0xffff);
    unsigned char data[4] = {1, 2, 3, 4};
    if (c.board == nullptr) {
      EXPECT_EQ(h, 0u) << c.selector;
    } else {
      ASSERT_NE(h, 0u) << c.selector;
      EXPECT_EQ(WriteMem(h, 0x8000, data, 4, 1), 4);
    }
    for (const char *board : {"zk32-0", "board-b"}) {
      std::string trace = ctl(board, "trace");
      bool selected = c.board != nullptr && std::string(board) == c.board;
      EXPECT_EQ(trace.find("w s 8000 01020304") != std::string::npos, selected)
          << c.selector << " -> " << board << ":\n" << trace;
      if (!selected) {
        EXPECT_EQ(trace, "") << c.selector << " -> " << board;
      }
    }
  }
}

TEST_F(TwoBoards, ListerJsonNamesEachBoard) {
  int code = 0;
  std::string fields = run_shell(
      std::string(DNUSB_LIST_PROGRAM) + " --json | python3 -c 'import json, sys\n"
      "for d in json.load(sys.stdin): print(d[\"selector\"], d[\"serial\"], d[\"identity\"], "
      "d[\"chip\"], d[\"kind\"], d[\"error\"])'", &code);
  // The identity names the chip of the chip table beside the lister.
  EXPECT_EQ(fields, "board-b SN-B 0x00004710 4710 target chip None\n"
                    "zk32-0 None 0x00004710 4710 target chip None\n"
                    "tcp:" + tcp_ + " SN-B 0x00004710 4710 target chip None\n");
  EXPECT_EQ(code, 0);
  setenv("DNUSB_DEVICE", "nothing", 1);
  EXPECT_EQ(run_shell(std::string(DNUSB_LIST_PROGRAM) + " --json", &code), "[]\n");
  EXPECT_EQ(code, 1);
}

class SimulatorPort : public ::testing::Test {
 protected:
  void use(const harness::Simulator &sim) {
    setenv("ZK32_SIM_DIR", sim.dir().c_str(), 1);
    unsetenv("ZK32_SIM_TCP");
  }
};

TEST_F(SimulatorPort, NoSimulatorMeansNoDevice) {
  std::string empty = harness::make_temp_dir();
  setenv("ZK32_SIM_DIR", empty.c_str(), 1);
  unsetenv("ZK32_SIM_TCP");
  EXPECT_EQ(GetPrintDeviceHandle(0xffff), 0u);
  EXPECT_EQ(GetPrintDeviceHandle2(0xffff), 0u);
  int code = 0;
  EXPECT_EQ(run_lister(&code), "no device found\n");
  EXPECT_EQ(code, 1);
  harness::remove_tree(empty);
}

// A simulator the user cannot trust is never used, and the lister says what it passed over and
// why: a folder others can write, a socket another user owns, a TCP port where no simulator
// answers (any local user can listen on a loopback port).  Nor does zk32-sim start in such a
// folder.
TEST_F(SimulatorPort, UntrustedSimulatorIsSkippedAndNamed) {
  harness::Simulator sim;
  use(sim);
  const std::string sock = sim.dir() + "/zk32-0.sock";
  int silent = socket(AF_INET, SOCK_STREAM, 0);  // listens, never answers
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof addr;
  ASSERT_EQ(0, bind(silent, reinterpret_cast<sockaddr *>(&addr), sizeof addr));
  ASSERT_EQ(0, listen(silent, 4));
  ASSERT_EQ(0, getsockname(silent, reinterpret_cast<sockaddr *>(&addr), &size));
  const std::string port = std::to_string(ntohs(addr.sin_port));
  const struct {
    std::string spoil, restore;  // shell commands run before and after
    std::string env;             // the lister's environment, beside the test's own
    std::string named;           // what the lister prints for it
  } cases[] = {
      {"chmod 0777 " + sim.dir(), "chmod 0700 " + sim.dir(), "",
       sim.dir() + "\n    skipped: writable by other users\n"},
      {"chown 65534 " + sock, "chown 0 " + sock, "",
       sock + "\n    skipped: owned by uid 65534, not 0\n"},
      {"true", "true", "ZK32_SIM_DIR=/nonexistent ZK32_SIM_TCP=" + port + " ",
       "tcp:" + port + "\n    skipped: no simulator answers on it\n"},
  };
  for (const auto &c : cases) {
    if (c.spoil.compare(0, 5, "chown") == 0 && geteuid() != 0) continue;  // needs root
    int code = 0;
    ASSERT_EQ("", run_shell(c.spoil, &code));
    EXPECT_EQ(run_shell(c.env + DNUSB_LIST_PROGRAM, &code), c.named);
    EXPECT_EQ(code, 1);
    if (c.env.empty()) {
      EXPECT_EQ(GetPrintDeviceHandle(0xffff), 0u) << c.named;
    }
    run_shell(c.restore, &code);
  }
  close(silent);
  ASSERT_NE(GetPrintDeviceHandle(0xffff), 0u);

  std::string open_dir = harness::make_temp_dir();
  chmod(open_dir.c_str(), 0777);
  int code = 0;
  std::string said = run_shell(harness::simulator_program() + " start --dir " + open_dir, &code);
  EXPECT_EQ(code, 1);
  EXPECT_NE(said.find("writable by other users"), std::string::npos) << said;
  harness::remove_tree(open_dir);
}

TEST_F(SimulatorPort, DirectChipRoundTripsMemoryInBothLayouts) {
  harness::Simulator sim("--mode usb --type 1 --timing zero");
  use(sim);
  dn_handle_t h = GetPrintDeviceHandle(0xffff);
  dn_handle_t h2 = GetPrintDeviceHandle2(0xffff);
  ASSERT_NE(h, 0u);
  ASSERT_NE(h2, 0u);
  EXPECT_NE(h, h2);
  // A tool tells a simulator from hardware by the handle alone.
  EXPECT_NE(h & DN_HANDLE_SIMULATED, 0u);
  EXPECT_EQ(IsEVKDevice(h), 0);
  auto data = pattern(5000, 3);
  EXPECT_EQ(WriteMem(h, 0x8000, data.data(), 5000, 1), 5000);
  std::vector<unsigned char> back(5000);
  EXPECT_EQ(ReadMem2(h2, 0x8000, back.data(), 5000, 1), 5000);
  EXPECT_EQ(back, data);
  EXPECT_EQ(sim.ctl("mem-read target 8000 4"), harness::to_hex({data[0], data[1], data[2], data[3]}));
  uint32_t reg = 0xffffffff;
  EXPECT_EQ(WriteUSBReg(h, 0x8010, 0x1a5), 1);
  EXPECT_EQ(ReadUSBReg(h, 0x8010, &reg), 1);
  EXPECT_EQ(reg, 0xa5u);
}

TEST_F(SimulatorPort, EvkProbeCarriesTargetMemory) {
  harness::Simulator sim("--mode evk --type 1 --timing zero");
  use(sim);
  dn_handle_t h = GetPrintDeviceHandle(0xffff);
  ASSERT_NE(h, 0u);
  EXPECT_EQ(IsEVKDevice(h), 4);
  int code = 0;
  std::string listed = run_lister(&code);
  EXPECT_EQ(code, 0);
  EXPECT_EQ(listed.rfind("sim:" + sim.dir() + "/zk32-0.sock\\vid_3a7e&pid_5a32\n    identity 0x", 0), 0u) << listed;
  EXPECT_NE(listed.find(", EVK probe\n    selector zk32-0, serial none\n"), std::string::npos) << listed;
  auto data = pattern(2500, 9);
  EXPECT_EQ(WriteMem(h, 0x8000, data.data(), 2500, 4), 2500);
  EXPECT_EQ(sim.ctl("mem-read target 89c0 4"),
            harness::to_hex({data[0x9c0], data[0x9c1], data[0x9c2], data[0x9c3]}));
  std::vector<unsigned char> back(2500);
  EXPECT_EQ(ReadMem(h, 0x8000, back.data(), 2500, 4), 2500);
  EXPECT_EQ(back, data);
}

TEST_F(SimulatorPort, RepliesInPiecesAreResumed) {
  harness::Simulator sim("--mode usb --type 1 --timing zero");
  use(sim);
  dn_handle_t h = GetPrintDeviceHandle(0xffff);
  ASSERT_NE(h, 0u);
  auto data = pattern(64, 5);
  sim.ctl("mem-write target 8000 " + harness::to_hex(data));
  sim.ctl("fault pieces 7");
  std::vector<unsigned char> back(64);
  EXPECT_EQ(ReadUSBMemCheck(h, 0x8000, back.data(), 64, 0, 3072), 64);
  EXPECT_EQ(back, data);
  EXPECT_EQ(ReadUSBMem(h, 0x8000, back.data(), 64, 0, 3072), 0);  // the plain read does not resume
}

TEST_F(SimulatorPort, VanishedDeviceFailsEveryTransferWithoutHanging) {
  harness::Simulator sim("--mode evk --type 1 --timing zero");
  use(sim);
  dn_handle_t h = GetPrintDeviceHandle(0xffff);
  ASSERT_NE(h, 0u);
  sim.ctl("fault vanish");
  unsigned char buf[16] = {};
  EXPECT_EQ(WriteMem(h, 0x8000, buf, 16, 4), 0);
  EXPECT_EQ(ReadMem(h, 0x8000, buf, 16, 1), 0);
  EXPECT_EQ(EVKCommand(h, 0, 1, 0x0700, nullptr, nullptr), 0);
  EXPECT_EQ(ReadUartMem(h, buf), -1);
}

}  // namespace
