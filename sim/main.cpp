// SPDX-License-Identifier: Apache-2.0
// zk32-sim: start|run|stop|ctl a simulated ZK32 USB device.  See sim/README.md.
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "sim/capture_commands.h"
#include "sim/control_help.h"
#include "sim/device_model.h"
#include "sim/server.h"
#include "sim/usbredir_port.h"
#include "wire/frame_io.h"
#include "wire/regular_file.h"
#include "wire/rendezvous_trust.h"
#include "wire/sim_wire.h"

using namespace zk32sim;

namespace {

const char kUsage[] =
    "usage: zk32-sim start|run [--dir DIR] [--mode usb|evk] [--type N] [--timing zero|real]\n"
    "                [--flash-size BYTES] [--name NAME] [--serial SERIAL] [--tcp PORT]\n"
    "                [--usbredir PATH]\n"
    "       zk32-sim stop [--dir DIR] [--name NAME]\n"
    "       zk32-sim ctl [--dir DIR] [--name NAME] COMMAND...\n"
    "       zk32-sim decode FILE\n"
    "       zk32-sim replay FILE [--mode usb|evk] [--type N] [--flash-size BYTES]\n"
    "       zk32-sim --help | --version\n"
    "ctl help lists the control commands.\n"
    "DIR defaults to the folder dnusb searches: $ZK32_SIM_DIR, else $XDG_RUNTIME_DIR/zk32-sim,\n"
    "else /tmp/zk32-sim-UID.\n";

struct Args {
  std::string verb;
  ServerConfig server;
  Options options;
  bool name_given = false;
  std::vector<std::string> words;  // ctl: the command
  std::string file;                // decode, replay: the capture
  std::string usbredir;            // start, run: also serve the device to QEMU here
};

// decode and replay work on a file, without a simulator to talk to.
bool offline_verb(const std::string &verb) { return verb == "decode" || verb == "replay"; }

bool parse_number(const char *text, unsigned long *value) {
  char *end = nullptr;
  errno = 0;
  *value = strtoul(text, &end, 0);
  return errno == 0 && end != text && *end == '\0';
}

// A serial travels as a USB string descriptor (at most 126 characters); printable ASCII keeps
// it the same whichever way a host reads it.
bool printable_serial(const char *text) {
  size_t n = strlen(text);
  if (n == 0 || n > 126) return false;
  for (size_t i = 0; i < n; ++i) {
    if (text[i] < 0x21 || text[i] > 0x7e) return false;
  }
  return true;
}

bool parse_args(int argc, char **argv, Args *args) {
  if (argc < 2) return false;
  args->verb = argv[1];
  for (int i = 2; i < argc; ++i) {
    std::string a = argv[i];
    bool has_value = i + 1 < argc;
    unsigned long n;
    if (args->verb == "ctl" && a.compare(0, 2, "--") != 0) {
      args->words.assign(argv + i, argv + argc);
      break;
    }
    if (offline_verb(args->verb) && a.compare(0, 2, "--") != 0 && args->file.empty()) {
      args->file = a;
      continue;
    }
    if (!has_value) {
      fprintf(stderr, "zk32-sim: %s needs a value\n", a.c_str());
      return false;
    }
    const char *v = argv[++i];
    bool device_option = a == "--mode" || a == "--type" || a == "--flash-size";
    if (offline_verb(args->verb) && (args->verb == "decode" || !device_option)) {
      fprintf(stderr, "zk32-sim: %s takes no option %s\n", args->verb.c_str(), a.c_str());
      return false;
    }
    if (a == "--dir") {
      args->server.dir = v;
    } else if (a == "--name") {
      args->server.name = v;
      args->name_given = true;
    } else if (a == "--serial" && printable_serial(v)) {
      args->server.serial = v;
    } else if (a == "--mode") {
      args->options.mode = v;
    } else if (a == "--type" && parse_number(v, &n) && n >= 1 && n <= 4) {
      args->options.mcu_type = int(n);
    } else if (a == "--timing" && (strcmp(v, "zero") == 0 || strcmp(v, "real") == 0)) {
      args->options.zero_timing = strcmp(v, "zero") == 0;
    } else if (a == "--flash-size" && parse_number(v, &n) && n <= (16u << 20)) {
      args->options.flash_size = uint32_t(n);
    } else if (a == "--usbredir" && v[0] != '\0' && !offline_verb(args->verb)) {
      args->usbredir = v;
    } else if (a == "--tcp" && parse_number(v, &n) && n >= 1 && n <= 65535) {
      args->server.tcp_port = int(n);
    } else {
      fprintf(stderr, "zk32-sim: bad option %s %s\n", a.c_str(), v);
      return false;
    }
  }
  if (offline_verb(args->verb)) return !args->file.empty();
  // Where the library looks when ZK32_SIM_DIR is not set, so the two meet without it.
  if (args->server.dir.empty()) args->server.dir = simwire::rendezvous_directory();
  if (args->server.name.empty() || args->server.name.find('/') != std::string::npos) {
    fprintf(stderr, "zk32-sim: bad --name\n");
    return false;
  }
  return true;
}

void make_directory(const std::string &dir) {
  for (size_t i = 0; i <= dir.size(); ++i) {
    if (i == dir.size() || (dir[i] == '/' && i > 0)) mkdir(dir.substr(0, i).c_str(), 0700);
  }
}

// The library would not look in a folder another user owns or can write, and a simulator
// must not take commands or pid files from one either.
std::string untrusted(const std::string &dir, const std::string &why) {
  return dir + ": " + why + "; the folder must be your own and writable only by you";
}

bool trusted_folder(const std::string &dir) {
  std::string distrust = dn_folder_distrust(dir.c_str(), getuid());
  if (distrust.empty()) return true;
  fprintf(stderr, "zk32-sim: %s\n", untrusted(dir, distrust).c_str());
  return false;
}

// Tells the starter (or the terminal) why the simulator could not start.
int refuse(const std::string &error, int ready_fd) {
  if (ready_fd >= 0) {
    simwire::write_all(ready_fd, error.data(), error.size());
  } else {
    fprintf(stderr, "zk32-sim: %s\n", error.c_str());
  }
  return 1;
}

// Listens, tells `ready_fd` (if any) that we accept connections, serves until stopped.
int serve(const Args &args, int ready_fd) {
  std::unique_ptr<Device> device = Device::create(args.options);
  if (!device) {
    return refuse("bad device options (mode usb|evk, type 1..4, flash size in 4 KB units)",
                  ready_fd);
  }
  make_directory(args.server.dir);
  std::string distrust = dn_folder_distrust(args.server.dir.c_str(), getuid());
  if (!distrust.empty()) return refuse(untrusted(args.server.dir, distrust), ready_fd);
  Server server(*device, args.server);
  std::string error;
  const DeviceIdentity identity{simwire::kVendorId, simwire::kSimProductId, args.server.serial};
  UsbredirPort usbredir(*device, server.device_lock(), identity, args.usbredir);
  if (!args.usbredir.empty() && !usbredir.open(&error)) return refuse(error, ready_fd);
  if (!server.open(&error)) {
    usbredir.remove_file();
    return refuse(error, ready_fd);
  }
  if (!args.usbredir.empty()) usbredir.start();
  if (ready_fd >= 0) {
    simwire::write_all(ready_fd, "+", 1);
    close(ready_fd);
  } else {
    fprintf(stderr, "zk32-sim: listening on %s\n", socket_path(args.server).c_str());
  }
  server.run();
  usbredir.remove_file();
  // Connection threads may still be blocked on their sockets: leave without running
  // destructors under them.  The socket and pid file are gone; the pcap file is flushed.
  fflush(nullptr);
  _exit(0);
}

// The daemon outlives its starter: it must not hold the starter's pipes or files open (a
// caller reading our output to its end would wait for ever).
void close_inherited_descriptors(int keep) {
  DIR *d = opendir("/proc/self/fd");
  if (!d) return;
  std::vector<int> fds;
  while (dirent *e = readdir(d)) {
    int fd = atoi(e->d_name);
    if (e->d_name[0] >= '0' && e->d_name[0] <= '9' && fd > 2 && fd != keep) fds.push_back(fd);
  }
  closedir(d);
  for (int fd : fds) close(fd);  // includes the directory's own, already closed: harmless
}

int start_daemon(const Args &args) {
  int ready[2];
  if (pipe(ready) != 0) return 1;
  fflush(nullptr);
  pid_t child = fork();
  if (child < 0) return 1;
  if (child == 0) {
    close(ready[0]);
    setsid();
    if (fork() != 0) _exit(0);
    close_inherited_descriptors(ready[1]);
    int null_fd = open("/dev/null", O_RDWR);
    if (null_fd >= 0) {
      dup2(null_fd, 0);
      dup2(null_fd, 1);
      dup2(null_fd, 2);
      if (null_fd > 2) close(null_fd);
    }
    _exit(serve(args, ready[1]));
  }
  close(ready[1]);
  std::string reply;
  char buf[256];
  ssize_t r;
  while ((r = read(ready[0], buf, sizeof buf)) > 0 || (r < 0 && errno == EINTR)) {
    if (r > 0) reply.append(buf, size_t(r));
  }
  close(ready[0]);
  waitpid(child, nullptr, 0);  // the intermediate child, gone once the daemon is forked
  if (reply == "+") return 0;
  fprintf(stderr, "zk32-sim: %s\n", reply.empty() ? "the simulator did not start" : reply.c_str());
  return 1;
}

// Gone, or a zombie waiting for its reaper: a daemon's parent is init, which may be slow.
bool process_gone(pid_t pid) {
  if (kill(pid, 0) != 0 && errno == ESRCH) return true;
  char path[64];
  snprintf(path, sizeof path, "/proc/%d/stat", int(pid));
  FILE *f = fopen(path, "r");
  if (!f) return true;
  char state = 0;
  bool parsed = fscanf(f, "%*d (%*[^)]) %c", &state) == 1;
  fclose(f);
  return parsed && (state == 'Z' || state == 'X');
}

// Stops the simulator whose pid file is `file`; waits for it to remove its socket.
void stop_one(const std::string &file) {
  FILE *f = dn_open_regular(file.c_str(), "r");
  if (!f) return;
  int pid = 0;
  bool read_ok = fscanf(f, "%d", &pid) == 1;
  fclose(f);
  if (!read_ok || pid <= 1) return;
  if (kill(pid, SIGTERM) != 0) {
    unlink(file.c_str());  // left by a simulator that no longer runs
    return;
  }
  for (int i = 0; i < 500 && !process_gone(pid); ++i) usleep(10000);
  if (!process_gone(pid)) kill(pid, SIGKILL);
}

int stop(const Args &args) {
  // A pid file in a folder someone else controls could name any process.
  if (access(args.server.dir.c_str(), F_OK) == 0 && !trusted_folder(args.server.dir)) return 1;
  if (args.name_given) {
    stop_one(pid_path(args.server));
    return 0;
  }
  DIR *d = opendir(args.server.dir.c_str());
  if (!d) return 0;
  std::vector<std::string> files;
  while (dirent *e = readdir(d)) {
    std::string n = e->d_name;
    if (n.size() > 4 && n.compare(n.size() - 4, 4, ".pid") == 0) {
      files.push_back(args.server.dir + "/" + n);
    }
  }
  closedir(d);
  for (const std::string &f : files) stop_one(f);
  return 0;
}

int control(const Args &args) {
  if (args.words.empty()) {
    fputs(kUsage, stderr);
    return 2;
  }
  std::string line;
  for (const std::string &w : args.words) line += (line.empty() ? "" : " ") + w;
  if (!trusted_folder(args.server.dir)) return 1;
  std::string path = socket_path(args.server);
  sockaddr_un addr;
  memset(&addr, 0, sizeof addr);
  addr.sun_family = AF_UNIX;
  int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  if (path.size() >= sizeof addr.sun_path || fd < 0) return 1;
  memcpy(addr.sun_path, path.c_str(), path.size() + 1);
  if (connect(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0) {
    fprintf(stderr, "zk32-sim: no simulator at %s\n", path.c_str());
    close(fd);
    return 1;
  }
  uint8_t kind = 0;
  std::string reply;
  bool ok = simwire::send_frame(fd, simwire::kText, line.data(), line.size()) &&
            simwire::receive_frame(fd, &kind, &reply);
  close(fd);
  if (!ok) {
    fprintf(stderr, "zk32-sim: the simulator closed the connection\n");
    return 1;
  }
  fputs(reply.c_str(), stdout);
  if (!reply.empty() && reply.back() != '\n') fputc('\n', stdout);
  return kind == simwire::kOk ? 0 : 1;
}

}  // namespace

int main(int argc, char **argv) {
  signal(SIGPIPE, SIG_IGN);  // a peer that goes away is an ordinary failed write
  if (argc == 2 && strcmp(argv[1], "--version") == 0) {
    printf("zk32-sim %s\n", ORVANE_VERSION);
    return 0;
  }
  if (argc == 2 && (strcmp(argv[1], "--help") == 0 || strcmp(argv[1], "-h") == 0)) {
    fputs(kUsage, stdout);
    return 0;
  }
  Args args;
  if (!parse_args(argc, argv, &args)) {
    fputs(kUsage, stderr);
    return 2;
  }
  if (args.verb == "start") return start_daemon(args);
  if (args.verb == "run") return serve(args, -1);
  if (args.verb == "stop") return stop(args);
  if (args.verb == "ctl" && args.words.size() == 1 && args.words[0] == "help") {
    fputs(kControlHelp, stdout);  // the list needs no simulator
    return 0;
  }
  if (args.verb == "ctl") return control(args);
  if (args.verb == "decode") return decode_capture(args.file, stdout);
  if (args.verb == "replay") return replay_capture(args.file, args.options, stdout);
  fputs(kUsage, stderr);
  return 2;
}
