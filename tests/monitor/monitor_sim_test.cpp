// SPDX-License-Identifier: Apache-2.0
// orvane-monitor against the simulator: what the device's data-in stream carries reaches
// standard output complete and in order, the stop conditions hold, and the monitor rides out
// the device going away.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "base/child_process.h"
#include "harness.h"

namespace {

void pause_ms(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

std::string hex_of(const std::string &bytes) {
  return harness::to_hex(std::vector<unsigned char>(bytes.begin(), bytes.end()));
}

// Every "[HH:MM:SS.mmm]" time prefix becomes "[T]".
std::string mask_time_prefixes(const std::string &text) {
  const std::string shape = "[00:00:00.000]";
  std::string out;
  for (size_t i = 0; i < text.size();) {
    bool prefix = i + shape.size() <= text.size();
    for (size_t k = 0; prefix && k < shape.size(); ++k) {
      prefix = shape[k] == '0' ? isdigit(static_cast<unsigned char>(text[i + k])) != 0
                               : text[i + k] == shape[k];
    }
    out += prefix ? "[T]" : text.substr(i, 1);
    i += prefix ? shape.size() : 1;
  }
  return out;
}

// The monitor as a child process with its output in files, so a test can act on the
// simulator while it runs and signal it.
class Monitor {
 public:
  Monitor(const std::string &sim_dir, std::vector<std::string> args) : dir_(harness::make_temp_dir()) {
    args.insert(args.begin(), MONITOR_PROGRAM);
    child_options options;
    options.out_file = dir_ + "/out";
    options.err_file = dir_ + "/err";
    options.env_set = {"ZK32_SIM_DIR=" + sim_dir};
    options.env_unset = {"ZK32_SIM_TCP"};
    std::string error;
    pid_ = static_cast<pid_t>(start_child(args, options, &error));
    EXPECT_GT(pid_, 0) << error;
  }
  ~Monitor() {
    if (pid_ > 0 && code_ == kRunning) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    harness::remove_tree(dir_);
  }
  // Waits for the exit (at most 60 s) and returns the exit status.
  int wait() {
    for (int i = 0; i < 6000 && code_ == kRunning; ++i) {
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        code_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128;
      } else {
        pause_ms(10);
      }
    }
    EXPECT_NE(kRunning, code_) << "the monitor did not stop";
    return code_;
  }
  void signal(int number) { kill(pid_, number); }
  std::string out() const { return harness::read_file(dir_ + "/out"); }
  std::string err() const { return harness::read_file(dir_ + "/err"); }
  std::string path(const char *name) const { return dir_ + "/" + name; }

 private:
  static constexpr int kRunning = -1000;
  std::string dir_;
  pid_t pid_ = -1;
  int code_ = kRunning;
};

TEST(MonitorStream, EverythingSentArrivesInOrderUpToTheUntilText) {
  harness::Simulator sim;
  std::string burst;
  for (int i = 0; i < 2048; ++i) burst += char(i * 7 % 251);
  sim.ctl("uart-send " + hex_of(burst));  // a full read's worth queued before the start
  Monitor monitor(sim.dir(), {"--until", "<END>", "--exit-after", "60"});
  std::string sent = burst;
  for (int i = 0; i < 60; ++i) {
    std::string piece = "line " + std::to_string(i) + (i % 3 ? "\n" : "");
    sim.ctl("uart-send " + hex_of(piece));
    sent += piece;
    if (i % 10 == 0) pause_ms(15);
  }
  sim.ctl("uart-send " + hex_of("<EN"));
  pause_ms(30);
  sim.ctl("uart-send " + hex_of("D>not shown"));
  EXPECT_EQ(0, monitor.wait()) << monitor.err();
  // The text ends mid-line; the output still ends with a line feed.
  EXPECT_TRUE(monitor.out() == sent + "<END>\n") << "received " << monitor.out().size()
                                                 << " bytes of " << sent.size() + 6;
}

TEST(MonitorStream, FormatsAndLogsWhatArrives) {
  struct Case {
    std::vector<std::string> args;
    std::string shown;  // the whole output, time prefixes as "[T]"
  };
  const Case cases[] = {
      {{"--timestamps"}, "[T] ab\n[T] c"},
      {{"--hex"}, "00000000  61 62 0a 63" + std::string(39, ' ') + "|ab.c|\n"},
  };
  for (const Case &c : cases) {
    harness::Simulator sim;
    sim.ctl("uart-send 61620a63");
    std::vector<std::string> args = c.args;
    std::string log_dir = harness::make_temp_dir();
    std::string log = log_dir + "/monitor.log";
    harness::write_file(log, "earlier\n");
    for (const char *a : {"--exit-after", "1", "--log"}) args.push_back(a);
    args.push_back(log);
    Monitor monitor(sim.dir(), args);
    EXPECT_EQ(0, monitor.wait()) << monitor.err();
    EXPECT_EQ(c.shown, mask_time_prefixes(monitor.out()));
    EXPECT_EQ("earlier\n" + monitor.out(), harness::read_file(log)) << "the log is appended to";
    harness::remove_tree(log_dir);
  }
  // A log that is not a plain file is refused at once, not waited on.
  std::string dir = harness::make_temp_dir();
  ASSERT_EQ(0, mkfifo((dir + "/fifo").c_str(), 0600));
  for (const std::string &log : {dir + "/fifo", dir}) {
    Monitor monitor(dir, {"--log", log});
    EXPECT_EQ(1, monitor.wait());
    EXPECT_NE(std::string::npos, monitor.err().find("not a regular file")) << monitor.err();
  }
  harness::remove_tree(dir);
}

// A stop ends cleanly, the partial row completed; with --until it is no match.
TEST(MonitorStream, StopSignalEndsCleanlyAndIsNoMatchForUntil) {
  struct Case {
    std::vector<std::string> args;
    int signal, status;
  };
  const Case cases[] = {
      {{"--hex"}, SIGINT, 0},
      {{"--hex", "--until", "never"}, SIGINT, 3},
      {{"--hex", "--until", "never"}, SIGTERM, 3},
  };
  for (const Case &c : cases) {
    harness::Simulator sim;
    sim.ctl("uart-send 4f4b");
    Monitor monitor(sim.dir(), c.args);
    for (int i = 0; i < 500 && monitor.out().empty(); ++i) pause_ms(10);
    monitor.signal(c.signal);
    EXPECT_EQ(c.status, monitor.wait()) << c.args.size() << " " << c.signal;
    EXPECT_EQ(std::string("00000000  4f 4b") + std::string(43 + 2, ' ') + "|OK|\n",
              monitor.out());
  }
}

TEST(MonitorDevice, WaitsForAVanishedDeviceUnlessToldNotTo) {
  for (bool reconnect : {true, false}) {
    harness::Simulator sim;
    std::vector<std::string> args = {"--until", "after", "--exit-after", "60"};
    if (!reconnect) args.push_back("--no-reconnect");
    Monitor monitor(sim.dir(), args);
    sim.ctl("uart-send " + hex_of("before\n"));
    for (int i = 0; i < 500 && monitor.out().empty(); ++i) pause_ms(10);
    sim.ctl("fault vanish");
    pause_ms(600);
    sim.ctl("fault-clear");
    sim.ctl("uart-send " + hex_of("after"));
    if (reconnect) {
      EXPECT_EQ(0, monitor.wait());
      EXPECT_EQ("before\nafter\n", monitor.out());
      EXPECT_EQ("orvane-monitor: device gone; waiting for it\norvane-monitor: device back\n",
                monitor.err());
    } else {
      EXPECT_EQ(1, monitor.wait());
      EXPECT_EQ("before\n", monitor.out());
      EXPECT_EQ("orvane-monitor: device gone\n", monitor.err());
    }
  }
  std::string empty = harness::make_temp_dir();
  Monitor alone(empty, {"--no-reconnect"});
  EXPECT_EQ(1, alone.wait());
  EXPECT_EQ("orvane-monitor: no device found\n", alone.err());
  harness::remove_tree(empty);
}

// The sample firmware downloaded into the simulator's flash and the chip reset onto it.
void load_sample_firmware_and_reset(const harness::Install &install, harness::Simulator &sim) {
  std::string firmware = ZK32_EXAMPLES_DIR "/firmware.bin";
  ASSERT_EQ(0, harness::run_orvane(install, {"4710", "wf", "0", "-i", firmware, "-u"}, &sim)
                   .exit_code);
  EXPECT_EQ(" Reset MCU \n", harness::run_orvane(install, {"4710", "rst", "-u"}, &sim).out);
}

TEST(MonitorDevice, ShowsTheSampleFirmwareStartingAndCounting) {
  harness::Simulator sim;
  harness::Install install;
  ASSERT_NO_FATAL_FAILURE(load_sample_firmware_and_reset(install, sim));
  EXPECT_EQ(" MCU Run \t\n", harness::run_orvane(install, {"4710", "run", "-u"}, &sim).out);
  Monitor monitor(sim.dir(), {"--until", "count 1\n", "--exit-after", "30"});
  EXPECT_EQ(0, monitor.wait()) << monitor.err();
  EXPECT_EQ("Orvane sample firmware for the ZK32 simulator\ncount 1\n", monitor.out());
}

TEST(MonitorDevice, ResetShowsOnlyWhatTheChipSentAfterIt) {
  harness::Simulator sim;
  harness::Install install;
  ASSERT_NO_FATAL_FAILURE(load_sample_firmware_and_reset(install, sim));
  // Queued before the reset, each would satisfy --until if it were not dropped.
  sim.ctl("uart-send " + hex_of("count 1\nstale "));
  Monitor monitor(sim.dir(), {"--reset", "4710", "-u", "--until", "count 1\n", "--exit-after", "30"});
  EXPECT_EQ(0, monitor.wait()) << monitor.err();
  EXPECT_EQ("Orvane sample firmware for the ZK32 simulator\ncount 1\n", monitor.out());

  Monitor unknown(sim.dir(), {"--reset", "9999", "-u", "--exit-after", "5"});
  EXPECT_EQ(1, unknown.wait());
  EXPECT_EQ("orvane-monitor: cannot stop 9999: [200]: chip 9999 not found in config.ini!\n",
            unknown.err());
}

}  // namespace
