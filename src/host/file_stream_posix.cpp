// The byte streams' host calls on POSIX: open, read, lseek, close.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "host/file_stream.h"
#include "host/file_stream_host.h"

// Only a regular file opens: the conversion reads its input twice, which a
// FIFO or a device cannot give, and a FIFO without a writer would block the
// open for ever, /dev/zero the reading. O_NONBLOCK keeps the open itself from
// waiting; it is cleared again for the regular file.
int HostOpenForReading(const std::string& host) {
  int fd = open(host.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return -1;
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || fcntl(fd, F_SETFL, 0) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

int64_t HostRead(int file, void* data, size_t size) {
  ssize_t n;
  do {
    n = read(file, data, size);
  } while (n < 0 && errno == EINTR);
  return n;
}

bool HostSeek(int file, int64_t offset) { return lseek(file, offset, SEEK_SET) >= 0; }

int64_t HostSize(int file) {
  struct stat status;
  if (fstat(file, &status) != 0) return -1;
  return status.st_size;
}

bool HostClose(int file) { return close(file) == 0; }

std::string DeviceRoot() {
  const char* root = std::getenv("WAYCONV_ROOT");
  if (root == nullptr || root[0] == 0) root = std::getenv("HOME");
  if (root == nullptr || root[0] == 0) root = ".";
  std::string result = root;
  while (result.size() > 1 && result.back() == '/') result.pop_back();
  return result;
}
