// SPDX-License-Identifier: Apache-2.0
// Running another program on Linux and macOS: fork and exec, its output through pipes drained
// with poll (or into a file), a failed exec reported back through a close-on-exec pipe.
#include "base/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "base/platform_system.h"

extern char **environ;

namespace {

struct launched {
  pid_t pid = -1;
  int out = -1;  // read ends of the output pipes, -1 when not piped
  int err = -1;
};

bool make_pipe(int ends[2]) {
  if (pipe(ends) != 0) return false;
  fcntl(ends[0], F_SETFD, FD_CLOEXEC);
  fcntl(ends[1], F_SETFD, FD_CLOEXEC);
  return true;
}

void close_pipe(int ends[2]) {
  for (int i = 0; i < 2; ++i) {
    if (ends[i] >= 0) close(ends[i]);
    ends[i] = -1;
  }
}

// True when entry ("NAME=VALUE" or "NAME") names name_of's NAME.
bool same_name(const char *entry, const std::string &name_of) {
  const std::size_t length = name_of.find('=');
  const std::size_t name_length = length == std::string::npos ? name_of.size() : length;
  return std::strncmp(entry, name_of.c_str(), name_length) == 0 && entry[name_length] == '=';
}

std::vector<std::string> child_environment(const child_options &options) {
  std::vector<std::string> env;
  for (char **p = environ; p != nullptr && *p != nullptr; ++p) {
    bool dropped = false;
    for (const std::string &name : options.env_unset) dropped = dropped || same_name(*p, name);
    for (const std::string &entry : options.env_set) dropped = dropped || same_name(*p, entry);
    if (!dropped) env.push_back(*p);
  }
  // A later entry for the same name wins.
  for (std::size_t i = 0; i < options.env_set.size(); ++i) {
    bool replaced = false;
    for (std::size_t j = i + 1; j < options.env_set.size(); ++j) {
      replaced = replaced || same_name(options.env_set[j].c_str(), options.env_set[i]);
    }
    if (!replaced) env.push_back(options.env_set[i]);
  }
  return env;
}

std::vector<char *> pointers(std::vector<std::string> &strings) {
  std::vector<char *> out;
  for (std::string &s : strings) out.push_back(&s[0]);
  out.push_back(nullptr);
  return out;
}

// In the child: everything but the exec itself may fail; the errno goes back to the parent.
[[noreturn]] void become_child(const child_options &options, int out_pipe[2], int err_pipe[2],
                               int status, char **args, char **env) {
  int failed = 0;
  if (options.null_input) {
    const int null_fd = open("/dev/null", O_RDONLY);
    if (null_fd < 0 || dup2(null_fd, 0) < 0) failed = errno;
    if (null_fd > 0) close(null_fd);
  }
  if (failed == 0 && out_pipe[1] >= 0) {
    if (dup2(out_pipe[1], 1) < 0) failed = errno;
  } else if (failed == 0 && !options.out_file.empty()) {
    const int fd = open(options.out_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd < 0 || dup2(fd, 1) < 0) failed = errno;
    if (fd > 1) close(fd);
  }
  if (failed == 0 && err_pipe[1] >= 0) {
    if (dup2(err_pipe[1], 2) < 0) failed = errno;
  } else if (failed == 0 && options.err_with_out) {
    if (dup2(1, 2) < 0) failed = errno;
  } else if (failed == 0 && !options.err_file.empty()) {
    const int fd = open(options.err_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd < 0 || dup2(fd, 2) < 0) failed = errno;
    if (fd > 2) close(fd);
  }
  if (failed == 0) {
    if (options.before_exec != nullptr) options.before_exec();
    environ = env;
    if (options.search_path) {
      execvp(args[0], args);
    } else {
      execv(args[0], args);
    }
    failed = errno;
  }
  ssize_t ignored = write(status, &failed, sizeof failed);  // 4 bytes to a pipe: never split
  (void)ignored;
  _exit(127);
}

bool launch(const std::vector<std::string> &argv, const child_options &options, launched *child,
            child_result *result) {
  if (argv.empty()) {
    result->error = "no program";
    return false;
  }
  std::vector<std::string> env = child_environment(options);
  std::vector<std::string> args = argv;
  std::vector<char *> env_p = pointers(env);
  std::vector<char *> args_p = pointers(args);
  int out_pipe[2] = {-1, -1}, err_pipe[2] = {-1, -1}, status[2] = {-1, -1};
  if ((options.out_sink != nullptr && !make_pipe(out_pipe)) ||
      (options.err_sink != nullptr && !make_pipe(err_pipe)) || !make_pipe(status)) {
    result->error = std::strerror(errno);
    close_pipe(out_pipe);
    close_pipe(err_pipe);
    close_pipe(status);
    return false;
  }
  const pid_t pid = fork();
  if (pid == 0) become_child(options, out_pipe, err_pipe, status[1], args_p.data(), env_p.data());
  const int fork_error = errno;
  close(status[1]);
  if (out_pipe[1] >= 0) close(out_pipe[1]);
  if (err_pipe[1] >= 0) close(err_pipe[1]);
  if (pid < 0) {
    result->error = std::strerror(fork_error);
    close(status[0]);
    if (out_pipe[0] >= 0) close(out_pipe[0]);
    if (err_pipe[0] >= 0) close(err_pipe[0]);
    return false;
  }
  child->pid = pid;
  child->out = out_pipe[0];
  child->err = err_pipe[0];
  // A successful exec closes the status pipe unwritten.
  int exec_error = 0;
  ssize_t got;
  do {
    got = read(status[0], &exec_error, sizeof exec_error);
  } while (got < 0 && errno == EINTR);
  close(status[0]);
  result->started = got != static_cast<ssize_t>(sizeof exec_error);
  if (!result->started) result->error = std::strerror(exec_error);
  return true;
}

// Drains the output pipes into the sinks until both close or the time limit is reached.
void pump(launched *child, const child_options &options, child_result *result) {
  const uint32_t started = system_clock_ms();
  int *fds[2] = {&child->out, &child->err};
  const output_sink sinks[2] = {options.out_sink, options.err_sink};
  char buffer[65536];
  while (child->out >= 0 || child->err >= 0) {
    int wait = -1;
    if (options.timeout_ms != 0) {
      const uint32_t spent = system_clock_ms() - started;
      if (spent >= options.timeout_ms) {
        kill(child->pid, SIGKILL);
        result->timed_out = true;
        break;
      }
      wait = static_cast<int>(options.timeout_ms - spent);
    }
    pollfd polled[2] = {{child->out, POLLIN, 0}, {child->err, POLLIN, 0}};
    const int ready = poll(polled, 2, wait);
    if (ready < 0 && errno == EINTR) continue;
    if (ready < 0) break;
    for (int i = 0; i < 2; ++i) {
      if (*fds[i] < 0 || polled[i].revents == 0) continue;
      const ssize_t n = read(*fds[i], buffer, sizeof buffer);
      if (n < 0 && errno == EINTR) continue;
      if (n > 0) {
        // Output of a program that never started (a failed exec) is not the program's.
        if (result->started) sinks[i](buffer, static_cast<std::size_t>(n), options.context);
      } else {
        close(*fds[i]);
        *fds[i] = -1;
      }
    }
  }
  for (int *fd : fds) {
    if (*fd >= 0) close(*fd);
    *fd = -1;
  }
}

void wait_for(pid_t pid, child_result *result) {
  int status = 0;
  rusage usage{};
  while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
  }
  result->ended_normally = result->started && WIFEXITED(status) && !result->timed_out;
  result->exit_code = WIFEXITED(status)    ? WEXITSTATUS(status)
                      : WIFSIGNALED(status) ? 128 + WTERMSIG(status)
                                            : 128;
  if (!result->started) result->exit_code = 127;
  result->usage.peak_memory_kb = usage.ru_maxrss;
#if defined(__APPLE__)
  result->usage.peak_memory_kb /= 1024;  // bytes there, kilobytes on Linux
#endif
  result->usage.cpu_seconds =
      double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
      double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

}  // namespace

child_result run_child(const std::vector<std::string> &argv, const child_options &options) {
  child_result result;
  launched child;
  if (!launch(argv, options, &child, &result)) return result;
  pump(&child, options, &result);
  wait_for(child.pid, &result);
  return result;
}

long start_child(const std::vector<std::string> &argv, const child_options &options,
                 std::string *error) {
  child_result result;
  launched child;
  if (options.out_sink != nullptr || options.err_sink != nullptr || options.timeout_ms != 0) {
    *error = "a child started side by side has no sinks and no time limit";
    return -1;
  }
  if (!launch(argv, options, &child, &result)) {
    *error = result.error;
    return -1;
  }
  if (!result.started) {
    *error = result.error;
    wait_for(child.pid, &result);
    return -1;
  }
  return child.pid;
}

child_result finish_child(long id) {
  child_result result;
  result.started = true;
  wait_for(static_cast<pid_t>(id), &result);
  return result;
}
