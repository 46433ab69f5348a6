#include "harness.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "support/child_process.h"
#include "wire/frame_io.h"
#include "wire/sim_wire.h"

namespace fs = std::filesystem;

namespace harness {

std::string built_program_dir() { return ORVANE_BIN_DIR; }
std::string simulator_program() { return std::string(ORVANE_BIN_DIR) + "/zk32-sim"; }

std::string make_temp_dir() {
  std::string pattern = (fs::temp_directory_path() / "orvane-test-XXXXXX").string();
  std::vector<char> buf(pattern.begin(), pattern.end());
  buf.push_back('\0');
  if (mkdtemp(buf.data()) == nullptr) return std::string();
  return std::string(buf.data());
}

void remove_tree(const std::string &path) {
  std::error_code ec;
  if (!path.empty()) fs::remove_all(path, ec);
}

void write_file(const std::string &path, const std::string &content) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f.write(content.data(), static_cast<std::streamsize>(content.size()));
}

std::string read_file(const std::string &path) {
  std::ifstream f(path, std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

bool file_exists(const std::string &path) {
  std::error_code ec;
  return fs::exists(path, ec);
}

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

// Runs argv to completion, capturing both output streams; kills it after the time limit.
RunResult run_process(const std::vector<std::string> &argv, const std::vector<std::string> &env_set,
                      const std::vector<std::string> &env_unset, int timeout_seconds) {
  RunResult result;
  int out_pipe[2];
  int err_pipe[2];
  if (pipe(out_pipe) != 0 || pipe(err_pipe) != 0) return result;
  pid_t pid = fork();
  if (pid == 0) {
    dup2(out_pipe[1], 1);
    dup2(err_pipe[1], 2);
    close(out_pipe[0]);
    close(err_pipe[0]);
    close(out_pipe[1]);
    close(err_pipe[1]);
    int devnull = open("/dev/null", O_RDONLY);
    if (devnull >= 0) dup2(devnull, 0);
    for (const auto &name : env_unset) unsetenv(name.c_str());
    for (const auto &kv : env_set) {
      auto eq = kv.find('=');
      setenv(kv.substr(0, eq).c_str(), kv.substr(eq + 1).c_str(), 1);
    }
    std::vector<char *> args;
    for (const auto &a : argv) args.push_back(const_cast<char *>(a.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
  }
  close(out_pipe[1]);
  close(err_pipe[1]);
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeout_seconds);
  int fds_open[2] = {out_pipe[0], err_pipe[0]};
  bool killed = false;
  char buf[65536];
  while (fds_open[0] >= 0 || fds_open[1] >= 0) {
    pollfd fds[2] = {{fds_open[0], POLLIN, 0}, {fds_open[1], POLLIN, 0}};
    int left = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                    deadline - std::chrono::steady_clock::now())
                                    .count());
    if (left <= 0) {
      kill(pid, SIGKILL);
      killed = true;
      break;
    }
    if (poll(fds, 2, left) < 0) break;
    for (int i = 0; i < 2; ++i) {
      if (fds_open[i] < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      ssize_t n = read(fds_open[i], buf, sizeof buf);
      if (n <= 0) {
        close(fds_open[i]);
        fds_open[i] = -1;
      } else {
        (i == 0 ? result.out : result.err).append(buf, static_cast<size_t>(n));
      }
    }
  }
  for (int fd : fds_open) {
    if (fd >= 0) close(fd);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  if (killed) {
    ADD_FAILURE() << "process timed out after " << timeout_seconds << " s: " << argv[0];
    result.exit_code = -1;
  } else if (WIFEXITED(status)) {
    result.exit_code = WEXITSTATUS(status);
  } else {
    result.exit_code = 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
  }
  return result;
}

// Runs a command whose children may outlive it (the simulator daemon): its output goes to a
// log file rather than a pipe, so a daemon that keeps the descriptors cannot hold us up.
int run_with_log(const std::vector<std::string> &argv, const std::string &log_path,
                 std::string *log) {
  int code = child_process::run_to_file(argv, log_path);
  *log = read_file(log_path);
  return code;
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
