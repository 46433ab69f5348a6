// Runs a program to completion with its output in a file.  Used for the simulator daemon
// (whose children keep the descriptors they inherit, so a pipe would never close) and by the
// benchmarks (which also want the child's resource usage).  No GoogleTest here: the benchmarks
// include it without the test library.
#ifndef ORVANE_SUPPORT_CHILD_PROCESS_H
#define ORVANE_SUPPORT_CHILD_PROCESS_H

#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <utility>
#include <vector>

namespace child_process {

struct Options {
  std::vector<std::pair<std::string, std::string>> env_set;  // name, value
  std::vector<std::string> env_unset;
  bool with_stderr = true;  // standard error into the same file as standard output
};

// Starts argv (argv[0] a path, or a name looked up in PATH) with standard input from
// /dev/null and standard output in out_path.  Returns its pid, or -1 when fork failed (a
// program that cannot be started exits with 127).
inline pid_t start_to_file(const std::vector<std::string> &argv, const std::string &out_path,
                           const Options &options = Options()) {
  const pid_t pid = fork();
  if (pid == 0) {
    for (const auto &name : options.env_unset) unsetenv(name.c_str());
    for (const auto &entry : options.env_set) setenv(entry.first.c_str(), entry.second.c_str(), 1);
    const int fd = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd >= 0) {
      dup2(fd, 1);
      if (options.with_stderr) dup2(fd, 2);
      close(fd);
    }
    const int devnull = open("/dev/null", O_RDONLY);
    if (devnull > 0) {
      dup2(devnull, 0);
      close(devnull);
    }
    std::vector<char *> args;
    for (const auto &a : argv) args.push_back(const_cast<char *>(a.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
  }
  return pid < 0 ? -1 : pid;
}

// Waits for a child from start_to_file.  Returns the exit status, 127 when the program could
// not be started, 128 when it did not exit normally; fills usage when given.
inline int wait_for(pid_t pid, rusage *usage = nullptr) {
  if (pid < 0) return 127;
  int status = 0;
  rusage local{};
  wait4(pid, &status, 0, usage ? usage : &local);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
}

struct ShellResult {
  std::string out;  // standard output
  int status;       // exit status; -1 when the command could not run or did not exit
};

// Runs a shell command line (add " 2>&1" to it for standard error too) to its end.  Not for
// commands that leave a daemon holding the pipe open: use run_to_file for those.
inline ShellResult run_shell(const std::string &command) {
  ShellResult r{"", -1};
  FILE *p = popen(command.c_str(), "r");
  if (!p) return r;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, p)) > 0) r.out.append(buffer, n);
  int status = pclose(p);
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

// start_to_file and wait_for in one.
inline int run_to_file(const std::vector<std::string> &argv, const std::string &out_path,
                       const Options &options = Options(), rusage *usage = nullptr) {
  return wait_for(start_to_file(argv, out_path, options), usage);
}

}  // namespace child_process

#endif
