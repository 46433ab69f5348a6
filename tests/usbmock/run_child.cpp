#include "run_child.h"

#include <fcntl.h>
#include <linux/capability.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>

#include "mock_usb.h"

extern char **environ;

namespace usbmock {

namespace {

std::vector<std::string> child_environment(const std::vector<std::string> &extra) {
  std::vector<std::string> env;
  auto overridden = [&extra](const char *entry) {
    for (const std::string &e : extra) {
      size_t eq = e.find('=');
      if (std::strncmp(entry, e.c_str(), eq + 1) == 0) return true;
    }
    return false;
  };
  for (char **p = environ; *p != nullptr; ++p) {
    if (!overridden(*p)) env.push_back(*p);
  }
  env.insert(env.end(), extra.begin(), extra.end());
  return env;
}

std::vector<char *> pointers(std::vector<std::string> &strings) {
  std::vector<char *> out;
  for (std::string &s : strings) out.push_back(&s[0]);
  out.push_back(nullptr);
  return out;
}

}  // namespace

const std::string &empty_sim_dir() {
  static const std::string dir = [] {
    char pattern[] = "/tmp/usbmock-nosim-XXXXXX";
    const char *made = mkdtemp(pattern);
    return std::string(made ? made : "/nonexistent-usbmock-sim-dir");
  }();
  return dir;
}

ChildResult run_child(const std::vector<std::string> &argv, const ChildOptions &options) {
  ChildResult result;
  std::vector<std::string> extra = {"LD_PRELOAD=" + child_preload(),
                                    "ZK32_SIM_DIR=" + empty_sim_dir()};
  const char *umockdev_dir = std::getenv("UMOCKDEV_DIR");
  if (umockdev_dir != nullptr) extra.push_back(std::string("UMOCKDEV_DIR=") + umockdev_dir);
  extra.insert(extra.end(), options.env.begin(), options.env.end());
  std::vector<std::string> env = child_environment(extra);
  std::vector<std::string> args = argv;
  std::vector<char *> env_p = pointers(env);
  std::vector<char *> args_p = pointers(args);

  int out_pipe[2], err_pipe[2];
  if (pipe2(out_pipe, O_CLOEXEC) != 0) return result;
  if (pipe2(err_pipe, O_CLOEXEC) != 0) {
    close(out_pipe[0]);
    close(out_pipe[1]);
    return result;
  }
  pid_t pid = fork();
  if (pid == 0) {
    dup2(out_pipe[1], 1);
    dup2(err_pipe[1], 2);
    if (options.without_file_override) {
      // Root regains every capability in its bounding set at exec: take these out of it.
      prctl(PR_CAPBSET_DROP, CAP_DAC_OVERRIDE, 0, 0, 0);
      prctl(PR_CAPBSET_DROP, CAP_DAC_READ_SEARCH, 0, 0, 0);
    }
    execve(args_p[0], args_p.data(), env_p.data());
    _exit(127);
  }
  close(out_pipe[1]);
  close(err_pipe[1]);
  if (pid < 0) {
    close(out_pipe[0]);
    close(err_pipe[0]);
    return result;
  }
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(options.timeout_seconds);
  pollfd fds[2] = {{out_pipe[0], POLLIN, 0}, {err_pipe[0], POLLIN, 0}};
  int open_fds = 2;
  bool killed = false;
  while (open_fds > 0) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      kill(pid, SIGKILL);
      killed = true;
      break;
    }
    if (poll(fds, 2, static_cast<int>(left.count())) < 0) break;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      char buf[4096];
      ssize_t n = read(fds[i].fd, buf, sizeof buf);
      if (n > 0) {
        (i == 0 ? result.out : result.err).append(buf, static_cast<size_t>(n));
      } else {
        close(fds[i].fd);
        fds[i].fd = -1;
        --open_fds;
      }
    }
  }
  for (pollfd &p : fds) {
    if (p.fd >= 0) close(p.fd);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  if (!killed && WIFEXITED(status)) result.exit_code = WEXITSTATUS(status);
  return result;
}

}  // namespace usbmock
