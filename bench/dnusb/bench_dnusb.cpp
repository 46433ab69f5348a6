// SPDX-License-Identifier: Apache-2.0
// dnusb throughput figures against zk32-sim --timing zero.
//
// 1. Round trips per second of a one-byte vendor read (ReadUSBMem), as a ratio to a raw
//    Unix-socket ping-pong carrying the same bytes (a 13-byte request frame, a 6-byte reply
//    frame) with a trivial echo process, measured in the same run.
// 2. 1 MB WriteMem and ReadMem on the direct route (usb simulator) and the EVK route (evk
//    simulator), in MB/s.
#include <stdio.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "bench_support.h"
#include "dnusb.h"
#include "wire/frame_io.h"

namespace {

double now_seconds() { return bench::now_ms() / 1000.0; }

// The baseline: a child process answers every 13-byte frame with a 6-byte frame.
double raw_ping_pong_rate(int rounds) {
  std::string dir = bench::make_temp_dir("dnusb-bench");
  if (dir.empty()) return 0;
  std::string path = dir + "/echo.sock";
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  snprintf(addr.sun_path, sizeof addr.sun_path, "%s", path.c_str());
  int listener = socket(AF_UNIX, SOCK_STREAM, 0);
  if (bind(listener, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0 || listen(listener, 1) != 0) {
    return 0;
  }
  pid_t child = fork();
  if (child == 0) {
    int conn = accept(listener, nullptr, nullptr);
    unsigned char request[13];
    unsigned char reply[6] = {'o', 1, 0, 0, 0, 0x5a};
    while (simwire::read_all(conn, request, sizeof request) &&
           simwire::write_all(conn, reply, sizeof reply)) {
    }
    _exit(0);
  }
  close(listener);
  int sock = socket(AF_UNIX, SOCK_STREAM, 0);
  if (connect(sock, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0) return 0;
  unsigned char request[13] = {'S', 8, 0, 0, 0, 0xc1, 0x02, 0x00, 0x10, 0, 0, 9, 0};
  unsigned char reply[6];
  double start = now_seconds();
  for (int i = 0; i < rounds; ++i) {
    if (!simwire::write_all(sock, request, sizeof request) ||
        !simwire::read_all(sock, reply, sizeof reply)) {
      break;
    }
  }
  double elapsed = now_seconds() - start;
  close(sock);
  waitpid(child, nullptr, 0);
  unlink(path.c_str());
  rmdir(dir.c_str());
  return rounds / elapsed;
}

struct Simulator {
  std::string dir;
  bool ok;
};

std::string simulator_program() { return bench::built_bin_dir() + "/zk32-sim"; }

// The library in this process finds the simulator through ZK32_SIM_DIR.
Simulator start_simulator(const char *mode) {
  Simulator sim{bench::make_temp_dir("dnusb-bench"), false};
  if (sim.dir.empty()) return sim;
  bench::simulator(simulator_program(), "start", sim.dir,
                   {"--mode", mode, "--type", "1", "--timing", "zero"}, "/dev/null");
  setenv("ZK32_SIM_DIR", sim.dir.c_str(), 1);
  unsetenv("ZK32_SIM_TCP");
  sim.ok = access((sim.dir + "/zk32-0.sock").c_str(), F_OK) == 0;
  return sim;
}

void stop_simulator(const Simulator &sim) {
  if (sim.dir.empty()) return;
  bench::simulator(simulator_program(), "stop", sim.dir, {}, "/dev/null");
  bench::remove_tree(sim.dir);
}

void throughput(const char *mode, int transfer_mode) {
  Simulator sim = start_simulator(mode);
  dn_handle_t h = sim.ok ? GetPrintDeviceHandle(0xffff) : 0;
  if (h == 0) {
    printf("%-4s route: no simulator device\n", mode);
    stop_simulator(sim);
    return;
  }
  const int size = 1 << 20;
  std::vector<unsigned char> data(size), back(size);
  for (int i = 0; i < size; ++i) data[i] = static_cast<unsigned char>(i * 13 + 1);
  // 1 MB is more than the target's SRAM: the transfer goes round a 32 KB window.
  double start = now_seconds();
  int written = 0;
  for (int off = 0; off < size; off += 0x8000) written += WriteMem(h, 0x8000, data.data() + off, 0x8000, transfer_mode);
  double write_s = now_seconds() - start;
  start = now_seconds();
  int read = 0;
  for (int off = 0; off < size; off += 0x8000) read += ReadMem(h, 0x8000, back.data() + off, 0x8000, transfer_mode);
  double read_s = now_seconds() - start;
  printf("%-4s route: WriteMem 1 MB %.1f MB/s (%d bytes), ReadMem 1 MB %.1f MB/s (%d bytes)\n", mode,
         1.0 / write_s, written, 1.0 / read_s, read);
  stop_simulator(sim);
}

}  // namespace

int main() {
  const int rounds = 20000;
  double raw = raw_ping_pong_rate(rounds);
  Simulator sim = start_simulator("usb");
  dn_handle_t h = sim.ok ? GetPrintDeviceHandle(0xffff) : 0;
  if (h == 0) {
    printf("no simulator device\n");
    stop_simulator(sim);
    return 1;
  }
  unsigned char byte = 0;
  double start = now_seconds();
  int ok = 0;
  for (int i = 0; i < rounds; ++i) ok += ReadUSBMem(h, 0x8010, &byte, 1, 0, 32);
  double rate = rounds / (now_seconds() - start);
  stop_simulator(sim);
  printf("raw socket ping-pong: %.0f round trips/s\n", raw);
  printf("ReadUSBMem 1 byte:    %.0f round trips/s (%d of %d complete)\n", rate, ok, rounds);
  printf("ratio: %.2f (aim >= 0.8)\n", rate / raw);
  throughput("usb", 1);
  throughput("evk", 4);
  return 0;
}
