// SPDX-License-Identifier: Apache-2.0
// The built Orvane on the emulated USB bus.  Each run is made twice from the same device state:
// once through the simulator port (zk32-sim over its socket) and once through the libusb port
// (the same device model behind umockdev).  The console output, the exit code and the device's
// trace must be the same, and every control transfer on the bus must be a vendor request laid
// out as the Windows printer driver lays it out.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "bus_fixture.h"
#include "harness.h"
#include "run_child.h"

namespace usbmock {
namespace {

using Lines = std::vector<std::string>;


Lines split_lines(const std::string &text) {
  Lines lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty()) lines.push_back(line);
  }
  return lines;
}

// A halted core keeps the program counter it is given (0x602 bit 1 halts it).
const char kHalt[] = "mem-write target 602 02";

class OrvaneOverLibusb : public EmulatedBus {
 protected:
  // Starts the simulator and the in-process model alike and applies the same set-up lines.
  void start(const std::string &mode, int mcu_type, const Lines &setup = {}) {
    sim_ = std::make_unique<harness::Simulator>("--mode " + mode + " --type " +
                                                std::to_string(mcu_type));
    use_model(mode, mcu_type);
    for (const std::string &line : setup) {
      sim_->ctl(line);
      ctl(line);
    }
    sim_->ctl("trace-clear");
    ctl("trace-clear");
    bus().clear_transfers(kZk32);
  }

  // Runs the program both ways and checks that both agree; returns the libusb run's output.
  std::string run_both(const Lines &args) {
    harness::RunResult by_sim = harness::run_orvane(install_, args, sim_.get());
    Lines argv = {install_.program};
    argv.insert(argv.end(), args.begin(), args.end());
    // The bus carries the simulator's device model, which runs only the simulator's writers.
    ChildOptions options;
    options.env = {"DNUSB_SIMULATED_USB=1"};
    ChildResult by_usb = run_child(argv, options);
    EXPECT_EQ(harness::mask_times(by_usb.out), harness::mask_times(by_sim.out));
    EXPECT_EQ(by_usb.exit_code, by_sim.exit_code);
    EXPECT_EQ(by_usb.err, "");
    EXPECT_EQ(split_lines(ctl("trace")), sim_->trace())
        << "the device saw different requests over USB; a missing \"r l 7e 4\" identity read "
           "means the second device search could not open the device a second time";
    check_wire_layout();
    return by_usb.out;
  }

  // Every control transfer the program caused is a vendor request on interface 0, and a
  // write's data stage is the whole request, its first three bytes matching the setup packet.
  void check_wire_layout() {
    for (const Transfer &t : bus().transfers(kZk32)) {
      if (!t.control) continue;
      SCOPED_TRACE(to_hex({t.request_type, t.request}) + " wValue " + std::to_string(t.value));
      ASSERT_TRUE(t.request_type == 0x41 || t.request_type == 0xC1);
      EXPECT_EQ(t.index, 0x0000);
      if (t.request_type == 0x41) {
        ASSERT_EQ(t.data.size(), t.length);
        ASSERT_GE(t.data.size(), 8u);
        EXPECT_EQ(t.data[0], t.request);
        EXPECT_EQ(t.data[1] << 8 | t.data[2], t.value);
      }
    }
  }

  harness::Install install_;
  std::unique_ptr<harness::Simulator> sim_;
};

TEST_F(OrvaneOverLibusb, SramReadBackIsTheSameAsThroughTheSimulator) {
  start("usb", 1, {"mem-write target 8000 00112233445566778899aabbccddeeff0102030405"});
  std::string out = run_both({"4710", "rc", "8000", "-s", "21", "-u"});
  EXPECT_NE(out.find("00 11 22 33"), std::string::npos) << out;
}

TEST_F(OrvaneOverLibusb, StopReportsTheProgramCounter) {
  start("usb", 1, {kHalt, "pc-set 1234"});
  EXPECT_EQ(run_both({"4710", "stop", "-u"}), " Stop MCU, PC is : 0x001234 \t\n");
}

TEST_F(OrvaneOverLibusb, PcLooksUpTheSymbolInAListing) {
  start("usb", 1, {kHalt, "pc-set 184"});
  harness::write_file(install_.path("firmware.lst"),
                      "Disassembly of section .vectors:\n"
                      "00000000 <_vectors>:\n"
                      "00000100 <main>:\n"
                      "     180:\tfe010113 \taddi\tsp,sp,-32\n"
                      "     184:\t00112e23 \tsw\tra,28(sp)\n"
                      "00000200 <idle>:\n");
  std::string out = run_both({"4710", "pc", "-i", install_.path("firmware.lst"), "-u"});
  EXPECT_EQ(out, "00000100 <main>:\n     184: 00112e23 \tsw\tra,28(sp)\n");
}

TEST_F(OrvaneOverLibusb, FlashDownloadWritesTheImage) {
  start("usb", 1);
  std::string image;
  for (int i = 0; i < 600; ++i) image += static_cast<char>(i * 13 + 5);
  harness::write_file(install_.path("image.bin"), image);
  std::string out = run_both({"4710", "wf", "0", "-i", install_.path("image.bin"), "-u"});
  EXPECT_NE(out.find(" File Download to 0x000000: 600 bytes \t\n"), std::string::npos) << out;
  std::vector<unsigned char> bytes(image.begin(), image.end());
  EXPECT_EQ(ctl("flash-read 0 258"), harness::to_hex(bytes));
}

// A device on USB is real hardware unless said otherwise: the simulator's flash writer is
// refused before anything reaches the chip.
TEST_F(OrvaneOverLibusb, SimulatorWriterIsRefusedOnAUsbDevice) {
  start("usb", 1);
  harness::write_file(install_.path("image.bin"), std::string(300, '\x5a'));
  Lines argv = {install_.program, "4710", "wf", "0", "-i", install_.path("image.bin"), "-u"};
  ChildResult by_usb = run_child(argv, ChildOptions());
  EXPECT_NE(by_usb.out.find(" [181]: flash writer file is for the simulator, not this device! "
                            "\t\n"),
            std::string::npos)
      << by_usb.out;
  EXPECT_NE(ctl("mem-read target 8000 4"), "5a4b4657") << "the writer reached the chip's SRAM";
}

// MCU types 3 and 4 in usb mode use the second search and the long-address exports.
TEST_F(OrvaneOverLibusb, LongLayoutChipReadBack) {
  start("usb", 3, {"mem-write target 40000 cafef00d"});
  std::string out = run_both({"4715", "rc", "40000", "-s", "4", "-u"});
  EXPECT_NE(out.find("ca fe f0 0d"), std::string::npos) << out;
}

TEST_F(OrvaneOverLibusb, EvkProbeStopReportsTheTargetsProgramCounter) {
  start("evk", 1, {kHalt, "pc-set 2468"});
  EXPECT_EQ(run_both({"4710", "stop"}), " Stop MCU, PC is : 0x002468 \t\n");
}

TEST_F(OrvaneOverLibusb, NoDeviceOnTheBus) {
  bus().remove_node(kZk32);
  Lines argv = {install_.program, "4710", "stop", "-u"};
  ChildResult by_usb = run_child(argv, ChildOptions());
  harness::RunResult by_nothing = harness::run_orvane(install_, {"4710", "stop", "-u"});
  EXPECT_EQ(by_usb.out, by_nothing.out);
  EXPECT_EQ(by_usb.exit_code, 0);
}

}  // namespace
}  // namespace usbmock
