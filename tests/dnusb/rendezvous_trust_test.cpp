// SPDX-License-Identifier: Apache-2.0
// Which rendezvous folders and sockets the library trusts: the user's own, not a symbolic
// link, writable by no one else.  The tests run as any user; a foreign owner is made by
// checking against another user's id, or by chown where the tests run as root.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <string>

#include "wire/rendezvous_trust.h"

namespace {

class RendezvousTrust : public ::testing::Test {
 protected:
  void SetUp() override {
    char dir[] = "/tmp/dnusb-trust-XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(dir));
    dir_ = dir;
  }
  void TearDown() override {
    ASSERT_EQ(0, system(("rm -rf " + dir_).c_str()));
  }
  std::string make(const std::string &name, mode_t mode) {
    std::string path = dir_ + "/" + name;
    EXPECT_EQ(0, mkdir(path.c_str(), 0700));
    EXPECT_EQ(0, chmod(path.c_str(), mode));
    return path;
  }
  std::string make_socket(const std::string &name) {
    std::string path = dir_ + "/" + name;
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    snprintf(addr.sun_path, sizeof addr.sun_path, "%s", path.c_str());
    int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    EXPECT_EQ(0, bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr));
    close(fd);
    return path;
  }
  std::string dir_;
};

TEST_F(RendezvousTrust, OnlyTheUsersOwnFolderThatNoOneElseCanWrite) {
  const uid_t me = getuid();
  const uid_t other = me == 65534 ? 65533 : 65534;
  const std::string own = make("own", 0700);
  ASSERT_EQ(0, symlink(own.c_str(), (dir_ + "/link").c_str()));
  ASSERT_EQ(0, close(creat((dir_ + "/file").c_str(), 0600)));
  const struct {
    std::string path;
    uid_t uid;
    const char *why;  // "" for trusted
  } cases[] = {
      {own, me, ""},
      {make("readable", 0755), me, ""},
      {make("group-writable", 0770), me, "writable by other users"},
      {make("world-writable", 01777), me, "writable by other users"},
      {own, other, "owned by uid"},
      {dir_ + "/link", me, "a symbolic link"},
      {dir_ + "/file", me, "not a folder"},
      {dir_ + "/missing", me, "No such file"},
  };
  for (const auto &c : cases) {
    std::string why = dn_folder_distrust(c.path.c_str(), c.uid);
    EXPECT_EQ(0u, why.find(c.why)) << c.path << ": " << why;
    EXPECT_EQ(why.empty(), c.why[0] == '\0') << c.path << ": " << why;
  }
}

TEST_F(RendezvousTrust, OnlySocketsTheUserOwns) {
  const uid_t me = getuid();
  const uid_t other = me == 65534 ? 65533 : 65534;
  const std::string sock = make_socket("a.sock");
  ASSERT_EQ(0, close(creat((dir_ + "/b.sock").c_str(), 0600)));
  const struct {
    std::string path;
    uid_t uid;
    const char *why;
  } cases[] = {
      {sock, me, ""},
      {sock, other, "owned by uid"},
      {dir_ + "/b.sock", me, "not a socket"},
  };
  for (const auto &c : cases) {
    std::string why = dn_socket_distrust(c.path.c_str(), c.uid);
    EXPECT_EQ(0u, why.find(c.why)) << c.path << ": " << why;
    EXPECT_EQ(why.empty(), c.why[0] == '\0') << c.path << ": " << why;
  }
}

}  // namespace
