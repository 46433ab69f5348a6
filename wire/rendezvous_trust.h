// SPDX-License-Identifier: Apache-2.0
// Whether a simulator's rendezvous folder and the sockets in it may be trusted.
//
// A socket in the folder receives everything the library sends the device it stands for
// (firmware images included), so a folder another local user could have made or can write
// into (say /tmp/zk32-sim-0, made by anyone before root first looks) must not be used.  The
// test is the one ssh-agent and tmux make of theirs: the folder itself, not a symbolic link
// to one, owned by the user, writable by no one else; and each socket owned by the user.
// The user's id is a parameter so that the rules can be checked without a second account.
//
// Header-only and POSIX-only: the library's port and the simulator's start both use it.
#ifndef DNUSB_RENDEZVOUS_TRUST_H
#define DNUSB_RENDEZVOUS_TRUST_H

#if !defined(_WIN32)
#include <errno.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <string>

inline std::string dn_foreign_owner(const struct stat &info, uid_t uid) {
  char text[64];
  snprintf(text, sizeof text, "owned by uid %lu, not %lu",
           static_cast<unsigned long>(info.st_uid), static_cast<unsigned long>(uid));
  return text;
}

// "" when the folder may be used by user uid, else why not (one short clause).
inline std::string dn_folder_distrust(const char *folder, uid_t uid) {
  struct stat info;
  if (lstat(folder, &info) != 0) return strerror(errno);
  if (S_ISLNK(info.st_mode)) return "a symbolic link";
  if (!S_ISDIR(info.st_mode)) return "not a folder";
  if (info.st_uid != uid) return dn_foreign_owner(info, uid);
  if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0) return "writable by other users";
  return "";
}

// "" when the file may be taken for a simulator of user uid, else why not.
inline std::string dn_socket_distrust(const char *path, uid_t uid) {
  struct stat info;
  if (lstat(path, &info) != 0) return strerror(errno);
  if (!S_ISSOCK(info.st_mode)) return "not a socket";
  if (info.st_uid != uid) return dn_foreign_owner(info, uid);
  return "";
}
#endif

#endif
