// The operating-system calls the program makes on files and standard streams, gathered in one place.
// Tests replace entries of the call table to capture streams or to make a chosen call fail.
#pragma once

#include <sys/types.h>
#include <sys/uio.h>

#include <cstddef>

namespace quelvar {

// Every system call on files and streams goes through this table. The defaults are the plain
// POSIX calls; fault-injection tests wrap them to fail the N-th call with a chosen errno.
struct PlatformCalls {
  ssize_t (*read)(int fd, void* buffer, size_t count);
  ssize_t (*write)(int fd, const void* buffer, size_t count);
  ssize_t (*writev)(int fd, const iovec* pieces, int piece_count);
  int (*open)(const char* path, int flags, mode_t mode);
  int (*close)(int fd);
  int (*ftruncate)(int fd, off_t length);
  off_t (*lseek)(int fd, off_t offset, int whence);
};

// The process's standard streams as the program uses them. In-process tests point them at
// temporary files; the program itself never changes them.
struct StandardStreams {
  int input = 0;
  int output = 1;
  int error = 2;
};

PlatformCalls& platform_calls();
StandardStreams& standard_streams();

// Restores the plain POSIX calls and the descriptors 0, 1 and 2.
void reset_platform();

// Writes all of `count` bytes, retrying after EINTR and partial writes. Returns the number of
// bytes written; when it is short, errno tells why.
size_t write_fully(int fd, const void* bytes, size_t count);

}  // namespace quelvar
