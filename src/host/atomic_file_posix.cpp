#include "host/atomic_file.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace {

std::string BaseOf(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Makes the rename durable; a failure here no longer loses data.
void SyncFolder(const std::string& file) {
  int dir = open(FolderOf(file).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir < 0) return;
  fsync(dir);
  close(dir);
}

}  // namespace

bool WriteAll(int fd, const void* data, size_t size) {
  const auto* bytes = static_cast<const unsigned char*>(data);
  while (size > 0) {
    ssize_t n = write(fd, bytes, size);
    if (n < 0 && errno == EINTR) continue;
    if (n == 0) errno = ENOSPC;  // nothing written and no error: the disk is full
    if (n <= 0) return false;
    bytes += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

int CreateParentFolders(const std::string& file, mode_t mode) {
  int error = 0;
  for (size_t slash = file.find('/', 1); slash != std::string::npos;
       slash = file.find('/', slash + 1)) {
    if (mkdir(file.substr(0, slash).c_str(), mode) != 0 && errno != EEXIST) error = errno;
  }
  return error;
}

bool IsFolder(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string FolderOf(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string ResolveLinks(const std::string& path) {
  std::string current = path;
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st;
    if (lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return current;
    char target[PATH_MAX];
    ssize_t n = readlink(current.c_str(), target, sizeof target - 1);
    if (n < 0) return current;
    target[n] = 0;
    if (target[0] == '/') {
      current = target;
    } else {
      current = FolderOf(current) + "/" + target;
    }
  }
  return current;
}

mode_t CurrentUmask() {
  mode_t mask = umask(0);
  umask(mask);
  return mask;
}

bool AtomicOpen(const std::string& path, mode_t new_mode, AtomicFile* file) {
  *file = AtomicFile();
  std::string target = ResolveLinks(path);
  struct stat st;
  bool exists = stat(target.c_str(), &st) == 0;
  if (exists && S_ISDIR(st.st_mode)) {
    errno = EISDIR;
    return false;
  }
  if (exists && !S_ISREG(st.st_mode)) {
    // A device or a FIFO: write in place, never replace or remove it.
    int fd = open(target.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0) return false;
    file->fd = fd;
    file->target = target;
    return true;
  }
  std::string temp = FolderOf(target) + "/." + BaseOf(target) + ".wayconv-XXXXXX";
  int fd = mkstemp(temp.data());
  if (fd < 0) return false;
  fchmod(fd, exists ? (st.st_mode & 07777) : new_mode);
  fcntl(fd, F_SETFD, FD_CLOEXEC);
  file->fd = fd;
  file->target = target;
  file->temp = temp;
  return true;
}

bool AtomicCommit(AtomicFile* file, bool ok) {
  if (file->fd < 0) return false;
  // errno of the first step that failed (the caller's, when `ok` came in
  // false), so that the caller can say why.
  int error = ok ? 0 : errno;
  auto failed = [&](bool step_ok) {
    if (!step_ok && ok) {
      ok = false;
      error = errno;
    }
  };
  if (ok && !file->temp.empty()) failed(fsync(file->fd) == 0);
  failed(close(file->fd) == 0);
  file->fd = -1;
  if (!file->temp.empty()) {
    if (ok) failed(rename(file->temp.c_str(), file->target.c_str()) == 0);
    if (!ok) {
      unlink(file->temp.c_str());
    } else {
      SyncFolder(file->target);
    }
  }
  if (!ok) errno = error;
  return ok;
}

bool WriteFileAtomically(const std::string& path, std::string_view bytes, mode_t new_mode,
                         int* error) {
  AtomicFile file;
  // Each step leaves errno saying why it failed, and the commit keeps the
  // first step's.
  bool ok = AtomicOpen(path, new_mode, &file) &&
            AtomicCommit(&file, WriteAll(file.fd, bytes.data(), bytes.size()));
  if (!ok && error != nullptr) *error = errno != 0 ? errno : EIO;
  return ok;
}
