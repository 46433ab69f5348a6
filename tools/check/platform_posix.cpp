// The companion's platform calls on Linux and macOS.
#include "tools/check/platform.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

const char *const kLineEnd = "\n";

namespace {

bool write_all(int fd, const void *data, std::size_t count) {
  const char *p = static_cast<const char *>(data);
  while (count > 0) {
    ssize_t n = write(fd, p, count);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    count -= static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

child_result run_program(const std::string &program, const std::vector<std::string> &args,
                         output_sink sink, void *context) {
  child_result result;
  int output[2];
  // The child reports a failed exec through this pipe; a successful exec closes it unread.
  int exec_status[2];
  if (pipe(output) != 0) {
    result.error = std::strerror(errno);
    return result;
  }
  if (pipe(exec_status) != 0 || fcntl(exec_status[1], F_SETFD, FD_CLOEXEC) != 0) {
    result.error = std::strerror(errno);
    close(output[0]);
    close(output[1]);
    return result;
  }
  std::vector<char *> argv;
  argv.push_back(const_cast<char *>(program.c_str()));
  for (const std::string &arg : args) argv.push_back(const_cast<char *>(arg.c_str()));
  argv.push_back(nullptr);

  const pid_t pid = fork();
  if (pid == 0) {
    dup2(output[1], 1);
    close(output[0]);
    close(output[1]);
    close(exec_status[0]);
    execv(program.c_str(), argv.data());
    const int error = errno;
    write_all(exec_status[1], &error, sizeof error);
    _exit(127);
  }
  close(output[1]);
  close(exec_status[1]);
  if (pid < 0) {
    result.error = std::strerror(errno);
    close(output[0]);
    close(exec_status[0]);
    return result;
  }
  int exec_error = 0;
  ssize_t got;
  do {
    got = read(exec_status[0], &exec_error, sizeof exec_error);
  } while (got < 0 && errno == EINTR);
  close(exec_status[0]);
  result.started = got != static_cast<ssize_t>(sizeof exec_error);
  if (!result.started) result.error = std::strerror(exec_error);

  char buffer[4096];
  for (;;) {
    ssize_t n = read(output[0], buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    if (result.started) sink(buffer, static_cast<std::size_t>(n), context);
  }
  close(output[0]);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  result.ended_normally = WIFEXITED(status);
  result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return result;
}

bool is_runnable_file(const std::string &path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(path.c_str(), X_OK) == 0;
}

bool output_is_terminal() { return isatty(1) != 0; }

void prepare_output() {
  // A reader that goes away ends the companion quietly; Orvane then meets the closed pipe.
  signal(SIGPIPE, SIG_DFL);
}

std::string make_temp_file() {
  const char *dir = std::getenv("TMPDIR");
  std::string pattern = std::string(dir != nullptr && *dir != '\0' ? dir : "/tmp") +
                        "/orvane-check-XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  const int fd = mkstemp(name.data());
  if (fd < 0) return std::string();
  close(fd);
  return std::string(name.data());
}
