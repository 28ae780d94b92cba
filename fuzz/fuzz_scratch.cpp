#include "fuzz_scratch.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::string g_dir;

void RemoveTree(const std::string& path) {
  if (DIR* dir = opendir(path.c_str())) {
    while (dirent* entry = readdir(dir)) {
      std::string name = entry->d_name;
      if (name == "." || name == "..") continue;
      std::string child = path + "/" + name;
      struct stat info;
      if (lstat(child.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
        RemoveTree(child);
      } else {
        unlink(child.c_str());
      }
    }
    closedir(dir);
  }
  rmdir(path.c_str());
}

void RemoveScratch() {
  if (!g_dir.empty()) RemoveTree(g_dir);
}

}  // namespace

const std::string& FuzzScratchDir() {
  if (!g_dir.empty()) return g_dir;
  struct stat info;
  std::string base = stat("/dev/shm", &info) == 0 && S_ISDIR(info.st_mode) ? "/dev/shm" : "/tmp";
  if (const char* tmp = std::getenv("WAYCONV_FUZZ_TMP"); tmp != nullptr && tmp[0] == '/') {
    base = tmp;
  }
  std::string pattern = base + "/wayconv-fuzz-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) {
    std::fprintf(stderr, "wayconv: cannot make a scratch folder under %s\n", base.c_str());
    std::abort();
  }
  g_dir = pattern;
  std::atexit(RemoveScratch);
  return g_dir;
}

void WriteScratchFile(const std::string& path, const void* data, size_t size) {
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  bool ok = fd >= 0;
  const char* bytes = static_cast<const char*>(data);
  while (ok && size > 0) {
    ssize_t n = write(fd, bytes, size);
    if (n <= 0) {
      ok = false;
      break;
    }
    bytes += n;
    size -= static_cast<size_t>(n);
  }
  if (fd >= 0 && close(fd) != 0) ok = false;
  FuzzCheck(ok, "cannot write the scratch input file");
}

void FuzzCheck(bool ok, const char* what) {
  if (ok) return;
  std::fprintf(stderr, "wayconv: fuzz check failed: %s\n", what);
  std::abort();
}
