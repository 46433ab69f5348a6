// SPDX-License-Identifier: Apache-2.0
#include "harness.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "base/child_process.h"
#include "wire/frame_io.h"
#include "wire/sim_wire.h"

namespace fs = std::filesystem;

namespace harness {

std::string built_program_dir() { return ORVANE_BIN_DIR; }
std::string simulator_program() { return std::string(ORVANE_BIN_DIR) + "/zk32-sim"; }

std::string mask_times(const std::string &text) {
  static const std::string marker = "Time: ";
  std::string out;
  size_t pos = 0;
  for (;;) {
    size_t at = text.find(marker, pos);
    if (at == std::string::npos) break;
    size_t digits = at + marker.size();
    size_t end = digits;
    while (end < text.size() && (std::isdigit(static_cast<unsigned char>(text[end])) || text[end] == '-')) ++end;
    out.append(text, pos, digits - pos);
    if (end > digits && text.compare(end, 3, " ms") == 0) {
      out += '#';
    } else {
      out.append(text, digits, end - digits);
    }
    pos = end;
  }
  out.append(text, pos, std::string::npos);
  return out;
}


namespace {

void append_out(const char *bytes, size_t count, void *result) {
  static_cast<RunResult *>(result)->out.append(bytes, count);
}

void append_err(const char *bytes, size_t count, void *result) {
  static_cast<RunResult *>(result)->err.append(bytes, count);
}

// Runs argv to completion, capturing both output streams; kills it after the time limit.
RunResult run_process(const std::vector<std::string> &argv, const std::vector<std::string> &env_set,
                      const std::vector<std::string> &env_unset, int timeout_seconds) {
  RunResult result;
  child_options options;
  options.env_set = env_set;
  options.env_unset = env_unset;
  options.null_input = true;
  options.out_sink = append_out;
  options.err_sink = append_err;
  options.context = &result;
  options.timeout_ms = static_cast<unsigned>(timeout_seconds) * 1000u;
  const child_result child = run_child(argv, options);
  if (child.timed_out) {
    ADD_FAILURE() << "process timed out after " << timeout_seconds << " s: " << argv[0];
    result.exit_code = -1;
  } else {
    result.exit_code = static_cast<int>(child.exit_code);
  }
  return result;
}

// Runs a command whose children may outlive it (the simulator daemon): its output goes to a
// log file rather than a pipe, so a daemon that keeps the descriptors cannot hold us up.
int run_with_log(const std::vector<std::string> &argv, const std::string &log_path,
                 std::string *log) {
  child_options options;
  options.out_file = log_path;
  options.err_with_out = true;
  options.null_input = true;
  const child_result child = run_child(argv, options);
  *log = read_file(log_path);
  if (!child.started) *log += child.error;
  return static_cast<int>(child.exit_code);
}

std::vector<std::string> split_words(const std::string &text) {
  std::istringstream in(text);
  std::vector<std::string> words;
  std::string w;
  while (in >> w) words.push_back(w);
  return words;
}

}  // namespace

Simulator::Simulator(const std::string &options) {
  dir_ = make_temp_dir();
  std::vector<std::string> argv = {simulator_program(), "start", "--dir", dir_};
  for (auto &w : split_words(options)) argv.push_back(w);
  std::string log;
  int code = run_with_log(argv, dir_ + ".log", &log);
  std::remove((dir_ + ".log").c_str());
  running_ = code == 0;
  if (!running_) ADD_FAILURE() << "zk32-sim did not start (" << code << "): " << log;
}

Simulator::~Simulator() {
  if (running_) {
    std::string log;
    run_with_log({simulator_program(), "stop", "--dir", dir_}, dir_ + ".log", &log);
    std::remove((dir_ + ".log").c_str());
  }
  remove_tree(dir_);
}

bool Simulator::send(const std::string &command, std::string *reply) {
  int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  if (fd < 0) {
    *reply = "no socket";
    return false;
  }
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::string path = dir_ + "/zk32-0.sock";
  std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", path.c_str());
  if (connect(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0) {
    close(fd);
    *reply = "cannot connect to " + path;
    return false;
  }
  uint8_t kind = 0;
  bool ok = simwire::send_frame(fd, simwire::kText, command.data(), command.size()) &&
            simwire::receive_frame(fd, &kind, reply);
  close(fd);
  if (!ok) *reply = "connection lost";
  return ok && kind == simwire::kOk;
}

std::string Simulator::ctl(const std::string &command) {
  std::string reply;
  if (!send(command, &reply)) {
    ADD_FAILURE() << "simulator refused '" << command << "': " << reply;
    return "err: " + reply;
  }
  return reply;
}

std::string Simulator::ctl_expect_error(const std::string &command) {
  std::string reply;
  EXPECT_FALSE(send(command, &reply)) << "simulator accepted '" << command << "'";
  return reply;
}

std::vector<std::string> Simulator::trace() {
  std::vector<std::string> lines;
  std::istringstream in(ctl("trace"));
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty()) lines.push_back(line);
  }
  return lines;
}

Install::Install() : Install(read_file(built_program_dir() + "/config.ini")) {}

Install::Install(const std::string &config_ini) {
  dir = make_temp_dir();
  program = dir + "/Orvane";
  std::error_code ec;
  fs::copy_file(built_program_dir() + "/Orvane", program, ec);
  if (ec) ADD_FAILURE() << "cannot copy the program: " << ec.message();
  fs::copy(built_program_dir() + "/writer", dir + "/writer", fs::copy_options::recursive, ec);
  write_file(dir + "/config.ini", config_ini);
}

Install::~Install() { remove_tree(dir); }

RunResult run_orvane(const Install &install, const std::vector<std::string> &args,
                     const Simulator *sim, int timeout_seconds) {
  std::vector<std::string> argv = {install.program};
  argv.insert(argv.end(), args.begin(), args.end());
  return run_with_devices(install, argv, sim, timeout_seconds);
}

RunResult run_with_devices(const Install &install, const std::vector<std::string> &argv,
                           const Simulator *sim, int timeout_seconds) {
  // With no simulator, an empty rendezvous directory: the program finds no device.
  std::string sim_dir = sim ? sim->dir() : install.dir + "/no-devices";
  if (!sim) mkdir(sim_dir.c_str(), 0700);
  return run_process(argv, {"ZK32_SIM_DIR=" + sim_dir}, {"ZK32_SIM_TCP"}, timeout_seconds);
}

}  // namespace harness
