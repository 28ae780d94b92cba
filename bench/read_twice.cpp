// The read limit the benchmarks compare against: reads a file twice from
// start to end with plain 256 KiB read() calls and does nothing with the bytes.
// A gzip file (magic 1f 8b) is inflated twice with zlib instead, into a
// 256 KiB buffer.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <vector>

#include <zlib.h>

namespace {

// Inflates the gzip member of `fd` into nothing; the bytes it gave.
unsigned long long InflateAll(int fd, std::vector<char>& buffer) {
  std::vector<unsigned char> in(64 * 1024);
  z_stream z{};
  if (inflateInit2(&z, 15 + 16) != Z_OK) return 0;
  unsigned long long total = 0;
  int result = Z_OK;
  while (result == Z_OK) {
    if (z.avail_in == 0) {
      ssize_t n = read(fd, in.data(), in.size());
      if (n <= 0) break;
      z.next_in = in.data();
      z.avail_in = static_cast<uInt>(n);
    }
    z.next_out = reinterpret_cast<Bytef*>(buffer.data());
    z.avail_out = static_cast<uInt>(buffer.size());
    result = inflate(&z, Z_NO_FLUSH);
    total += buffer.size() - z.avail_out;
  }
  inflateEnd(&z);
  return total;
}

}  // namespace

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
    unsigned char magic[2] = {0, 0};
    bool gzip = read(fd, magic, 2) == 2 && magic[0] == 0x1F && magic[1] == 0x8B;
    lseek(fd, 0, SEEK_SET);
    if (gzip) {
      total += InflateAll(fd, buffer);
      close(fd);
      continue;
    }
    ssize_t n;
    while ((n = read(fd, buffer.data(), buffer.size())) > 0) total += static_cast<unsigned long long>(n);
    close(fd);
  }
  std::printf("%llu\n", total);
  return 0;
}
