#include "host/atomic_file.h"

#include <fcntl.h>
#include <limits.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

bool AtomicReplaceReadOnly = false;

namespace {

// The temporary that a signal must remove, kept where a handler can reach it
// without allocating: one at a time (the program writes one file at once).
char g_temp_name[PATH_MAX + 64];
volatile sig_atomic_t g_temp_live = 0;
constexpr int kCleanupSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE, SIGUSR1, SIGUSR2, SIGALRM};
constexpr size_t kCleanupCount = sizeof kCleanupSignals / sizeof kCleanupSignals[0];
struct sigaction g_saved_actions[kCleanupCount];
bool g_handler_set[kCleanupCount];

// Async-signal-safe: unlink and raise only. SA_RESETHAND has put the default
// action back, so the raise ends the process by the same signal.
void RemoveTemporaryAndDie(int signal_number) {
  int saved = errno;
  if (g_temp_live) unlink(g_temp_name);
  raise(signal_number);
  errno = saved;
}

void BlockCleanupSignals(sigset_t* old) {
  sigset_t set;
  sigemptyset(&set);
  for (int s : kCleanupSignals) sigaddset(&set, s);
  pthread_sigmask(SIG_BLOCK, &set, old);
}

// Creates the temporary from `templ` (mkstemp) and guards it, signals held
// off meanwhile so that none can come between its making and its guard.
int MakeGuardedTemporary(std::string* templ) {
  sigset_t old;
  BlockCleanupSignals(&old);
  int fd = mkstemp(templ->data());
  if (fd >= 0 && !g_temp_live && templ->size() < sizeof g_temp_name) {
    std::memcpy(g_temp_name, templ->c_str(), templ->size() + 1);
    for (size_t i = 0; i < kCleanupCount; ++i) {
      // Only where the signal would end the process: a handler or an
      // ignored signal stays as the program set it.
      struct sigaction current;
      g_handler_set[i] = false;
      if (sigaction(kCleanupSignals[i], nullptr, &current) != 0) continue;
      if ((current.sa_flags & SA_SIGINFO) != 0 || current.sa_handler != SIG_DFL) continue;
      struct sigaction action;
      std::memset(&action, 0, sizeof action);
      action.sa_handler = RemoveTemporaryAndDie;
      sigemptyset(&action.sa_mask);
      action.sa_flags = SA_RESETHAND | SA_NODEFER;
      g_saved_actions[i] = current;
      g_handler_set[i] = sigaction(kCleanupSignals[i], &action, nullptr) == 0;
    }
    g_temp_live = 1;
  }
  int error = errno;
  pthread_sigmask(SIG_SETMASK, &old, nullptr);
  errno = error;
  return fd;
}

// Renames (with `ok`) or removes the temporary, and drops its guard, with
// the signals held off so that a handler never sees it half done.
bool FinishTemporary(const std::string& temp, const std::string& target, bool ok) {
  sigset_t old;
  BlockCleanupSignals(&old);
  bool renamed = ok && rename(temp.c_str(), target.c_str()) == 0;
  int error = errno;
  if (!renamed) unlink(temp.c_str());
  if (g_temp_live && temp == g_temp_name) {
    g_temp_live = 0;
    for (size_t i = 0; i < kCleanupCount; ++i) {
      if (g_handler_set[i]) sigaction(kCleanupSignals[i], &g_saved_actions[i], nullptr);
      g_handler_set[i] = false;
    }
  }
  pthread_sigmask(SIG_SETMASK, &old, nullptr);
  errno = error;
  return renamed;
}

// Whether `path` lies in the device root the user named (WAYCONV_ROOT).
bool UnderDeviceRoot(const std::string& path) {
  const char* root = std::getenv("WAYCONV_ROOT");
  if (root == nullptr || root[0] == 0) return false;
  std::string prefix = root;
  while (prefix.size() > 1 && prefix.back() == '/') prefix.pop_back();
  return path.compare(0, prefix.size(), prefix) == 0 &&
         (path.size() == prefix.size() || path[prefix.size()] == '/' || prefix == "/");
}

// The kernel's protected-symlinks rule: in a sticky folder that everyone may
// write, a link is followed only when the caller or the folder's owner owns it.
bool MayFollow(const std::string& link, const struct stat& link_st) {
  if (UnderDeviceRoot(link)) return true;
  struct stat folder;
  if (stat(FolderOf(link).c_str(), &folder) != 0) return false;
  bool shared = (folder.st_mode & S_ISVTX) != 0 && (folder.st_mode & S_IWOTH) != 0;
  return !shared || link_st.st_uid == geteuid() || link_st.st_uid == folder.st_uid;
}

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

void RemoveTemporaryForSignal() {
  if (g_temp_live) unlink(g_temp_name);
  g_temp_live = 0;
}

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

std::string ResolveLinks(const std::string& path, bool* refused) {
  if (refused != nullptr) *refused = false;
  std::string current = path;
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st;
    if (lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return current;
    if (!MayFollow(current, st)) {
      if (refused != nullptr) *refused = true;
      return current;
    }
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

bool SameFile(const std::string& a, const std::string& b) {
  struct stat sa, sb;
  return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}

bool IsReservedDeviceName(const std::string&) { return false; }

bool IsReadOnlyFile(const std::string& path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  return (st.st_mode & 0222) == 0 || access(path.c_str(), W_OK) != 0;
}

mode_t CurrentUmask() {
  mode_t mask = umask(0);
  umask(mask);
  return mask;
}

bool AtomicOpen(const std::string& path, mode_t new_mode, AtomicFile* file) {
  *file = AtomicFile();
  bool refused = false;
  std::string target = ResolveLinks(path, &refused);
  if (refused) {
    errno = EACCES;
    return false;
  }
  struct stat st;
  bool exists = stat(target.c_str(), &st) == 0;
  if (exists && S_ISDIR(st.st_mode)) {
    errno = EISDIR;
    return false;
  }
  if (exists && !S_ISREG(st.st_mode)) {
    // A device or a FIFO: write in place, never replace or remove it. The
    // open does not wait for a FIFO's reader: with none, it fails (ENXIO).
    int fd = open(target.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return false;
    int flags = fcntl(fd, F_GETFL);
    if (flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
      int error = errno;
      close(fd);
      errno = error;
      return false;
    }
    file->fd = fd;
    file->target = target;
    return true;
  }
  if (exists && !AtomicReplaceReadOnly && IsReadOnlyFile(target)) {
    errno = EACCES;
    return false;
  }
  std::string temp = FolderOf(target) + "/." + BaseOf(target) + ".wayconv-XXXXXX";
  int fd = MakeGuardedTemporary(&temp);
  if (fd < 0) return false;
  // A kept mode never carries setuid or setgid over to the new contents.
  fchmod(fd, exists ? (st.st_mode & 07777 & ~(S_ISUID | S_ISGID)) : new_mode);
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
    failed(FinishTemporary(file->temp, file->target, ok) || !ok);
    if (ok) SyncFolder(file->target);
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
