// The read limit the benchmarks compare against: reads a file twice from
// start to end with plain 256 KiB read() calls and does nothing with the bytes.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <vector>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "wayconv: usage: wayconv_read_twice PATH\n");
    return 64;
  }
  std::vector<char> buffer(256 * 1024);
  unsigned long long total = 0;
  for (int pass = 0; pass < 2; ++pass) {
    int fd = open(argv[1], O_RDONLY);
    if (fd < 0) {
      std::perror("wayconv: open");
      return 2;
    }
    ssize_t n;
    while ((n = read(fd, buffer.data(), buffer.size())) > 0) total += static_cast<unsigned long long>(n);
    close(fd);
  }
  std::printf("%llu\n", total);
  return 0;
}
