// SPDX-License-Identifier: Apache-2.0
// The zk32-sim program: start, control, a vendor request over the socket, stop.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "support/shell_command.h"

namespace {

using Outcome = shell_command::ShellResult;

Outcome run(const std::string &args) {
  return shell_command::run_shell(std::string(ZK32_SIM_PROGRAM) + " " + args + " 2>&1");
}

bool exists(const std::string &path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

class Daemon : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/zk32-sim-test-XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(pattern));
    dir = pattern;
  }
  void TearDown() override {
    run("stop --dir " + dir);
    rmdir(dir.c_str());
  }
  std::string dir;
};

TEST_F(Daemon, StartControlStopRoundTrip) {
  Outcome started = run("start --dir " + dir + " --mode evk --type 2");
  ASSERT_EQ(0, started.status) << started.out;
  EXPECT_TRUE(exists(dir + "/zk32-0.sock"));

  // A second simulator of the same name is refused while the first one lives.
  Outcome again = run("start --dir " + dir);
  EXPECT_EQ(1, again.status);

  EXPECT_EQ(0, run("ctl --dir " + dir + " mem-write target 8000 a1b2").status);
  Outcome got_read = run("ctl --dir " + dir + " mem-read target 8000 2");
  EXPECT_EQ("a1b2\n", got_read.out);
  Outcome probe = run("ctl --dir " + dir + " mem-read probe 7e 2");
  EXPECT_EQ("1808\n", probe.out);
  Outcome bad = run("ctl --dir " + dir + " nonsense");
  EXPECT_EQ(1, bad.status);
  EXPECT_EQ("error: unknown command: nonsense\n", bad.out);

  // One vendor read over the socket, framed as the port frames it.
  int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::string path = dir + "/zk32-0.sock";
  snprintf(addr.sun_path, sizeof addr.sun_path, "%s", path.c_str());
  ASSERT_EQ(0, connect(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr));
  const uint8_t request[13] = {'S', 8, 0, 0, 0, 0xc1, 0x02, 0x7c, 0x00, 0, 0, 12, 0};
  ASSERT_EQ(13, write(fd, request, sizeof request));
  uint8_t reply[9] = {};
  size_t got = 0;
  while (got < sizeof reply) {
    ssize_t r = read(fd, reply + got, sizeof reply - got);
    if (r <= 0) break;
    got += size_t(r);
  }
  close(fd);
  ASSERT_EQ(sizeof reply, got);
  EXPECT_EQ('o', reply[0]);
  EXPECT_EQ(4, reply[1]);
  EXPECT_EQ(0x18, reply[7]);
  EXPECT_EQ(0x08, reply[8]);

  EXPECT_EQ("r s 7c 4 01001808\n", run("ctl --dir " + dir + " trace").out);

  EXPECT_EQ(0, run("stop --dir " + dir).status);
  EXPECT_FALSE(exists(dir + "/zk32-0.sock"));
  EXPECT_FALSE(exists(dir + "/zk32-0.pid"));
}

TEST_F(Daemon, TcpListenerServesTheSameDeviceOnLoopback) {
  // A free port: the kernel picks one, we release it for the simulator.
  int probe = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in in{};
  in.sin_family = AF_INET;
  in.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof in;
  ASSERT_EQ(0, bind(probe, reinterpret_cast<sockaddr *>(&in), sizeof in));
  ASSERT_EQ(0, getsockname(probe, reinterpret_cast<sockaddr *>(&in), &len));
  int port = ntohs(in.sin_port);
  close(probe);

  ASSERT_EQ(0, run("start --dir " + dir + " --tcp " + std::to_string(port)).status);
  run("ctl --dir " + dir + " mem-write target 9000 5a");
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  ASSERT_EQ(0, connect(fd, reinterpret_cast<sockaddr *>(&in), sizeof in));
  const char request[] = "Tmem-read target 9000 1";
  uint8_t frame[5 + sizeof request - 2] = {'T', uint8_t(sizeof request - 2), 0, 0, 0};
  memcpy(frame + 5, request + 1, sizeof request - 2);
  ASSERT_EQ(ssize_t(sizeof frame), write(fd, frame, sizeof frame));
  char reply[7] = {};
  size_t got = 0;
  while (got < sizeof reply) {
    ssize_t r = read(fd, reply + got, sizeof reply - got);
    if (r <= 0) break;
    got += size_t(r);
  }
  close(fd);
  EXPECT_EQ(std::string("o\x02\0\0\0" "5a", 7), std::string(reply, got));
}

TEST_F(Daemon, RefusesBadOptions) {
  Outcome r = run("start --dir " + dir + " --type 7");
  EXPECT_EQ(2, r.status);
  Outcome size = run("start --dir " + dir + " --flash-size 1000");
  EXPECT_EQ(1, size.status);
  EXPECT_FALSE(exists(dir + "/zk32-0.sock"));
}

// Started without --dir, the simulator waits where dnusb looks without ZK32_SIM_DIR set.
TEST_F(Daemon, WithoutDirUsesTheLibrarysFolder) {
  setenv("ZK32_SIM_DIR", dir.c_str(), 1);
  EXPECT_EQ(0, run("start").status);
  EXPECT_TRUE(exists(dir + "/zk32-0.sock"));
  EXPECT_EQ(0, run("stop").status);
  unsetenv("ZK32_SIM_DIR");
  Outcome version = run("--version");
  EXPECT_EQ(0, version.status);
  EXPECT_EQ(0u, version.out.find("zk32-sim " ORVANE_VERSION "\n")) << version.out;
}

}  // namespace
