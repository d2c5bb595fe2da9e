#include "runtime/platform.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace quelvar {
namespace {

int open_file(const char* path, int flags, mode_t mode) { return ::open(path, flags, mode); }

constexpr PlatformCalls kPosixCalls = {&::read, &::write, &::writev, &open_file, &::close, &::ftruncate, &::lseek};

PlatformCalls calls = kPosixCalls;
StandardStreams streams;

}  // namespace

PlatformCalls& platform_calls() { return calls; }
StandardStreams& standard_streams() { return streams; }

void reset_platform() {
  calls = kPosixCalls;
  streams = StandardStreams{};
}

size_t write_fully(int fd, const void* bytes, size_t count) {
  const char* next = static_cast<const char*>(bytes);
  size_t written = 0;
  while (written < count) {
    ssize_t result = calls.write(fd, next + written, count - written);
    if (result < 0) {
      if (errno == EINTR) continue;
      return written;
    }
    if (result == 0) {
      errno = EIO;
      return written;
    }
    written += static_cast<size_t>(result);
  }
  return written;
}

}  // namespace quelvar
