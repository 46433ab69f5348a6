// SPDX-License-Identifier: Apache-2.0
// Opening a file that must be a plain file: the trace, a log, a saved flash image, a capture.
//
// fopen() on a FIFO waits for a peer, possibly for ever, and on a device reads or writes
// whatever the device does.  Here the file is opened without waiting, its type is looked at
// on the open descriptor (so what is used is what was checked), and anything but a regular
// file is refused at once with errno EINVAL.  mode is an fopen() mode ("rb", "wb", "ab",
// "a+b" ...); a file that does not exist is created by the modes that create one.
//
// Header-only: the library, the simulator and the companions all use it.
#ifndef DNUSB_REGULAR_FILE_H
#define DNUSB_REGULAR_FILE_H

#include <errno.h>
#include <stdio.h>
#include <string.h>

#if !defined(_WIN32)
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

inline FILE *dn_open_regular(const char *path, const char *mode) {
#if defined(_WIN32)
  return fopen(path, mode);
#else
  bool update = strchr(mode, '+') != nullptr;
  int flags = O_NONBLOCK | O_CLOEXEC | O_NOCTTY;
  if (mode[0] == 'r') {
    flags |= update ? O_RDWR : O_RDONLY;
  } else if (mode[0] == 'w') {
    flags |= (update ? O_RDWR : O_WRONLY) | O_CREAT;
  } else if (mode[0] == 'a') {
    flags |= (update ? O_RDWR : O_WRONLY) | O_CREAT | O_APPEND;
  } else {
    errno = EINVAL;
    return nullptr;
  }
  int fd = open(path, flags, 0644);
  if (fd < 0) {
    // A FIFO without a reader and a folder opened for writing: no plain file either.
    if (errno == ENXIO || errno == EISDIR) errno = EINVAL;
    return nullptr;
  }
  struct stat info;
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    close(fd);
    errno = EINVAL;
    return nullptr;
  }
  // Truncated only now that it is known to be a plain file.
  if (mode[0] == 'w' && ftruncate(fd, 0) != 0) {
    close(fd);
    return nullptr;
  }
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  FILE *file = fdopen(fd, mode);
  if (file == nullptr) close(fd);
  return file;
#endif
}

// The reason for a failed dn_open_regular, for one line of diagnosis.
inline const char *dn_open_regular_why(int error) {
  return error == EINVAL ? "not a regular file" : strerror(error);
}

#endif
