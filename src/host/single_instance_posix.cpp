#include "host/single_instance.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>


namespace {

constexpr int kReplyTimeoutMs = 3000;  // a copy busy converting answers late
constexpr size_t kMaxLine = 1024;
constexpr size_t kMaxRequest = 70000;  // room for 32 KiB handed over in hex

struct Claim {
  int lock_fd = -1;
  int listen_fd = -1;
  std::string socket_path;
};

Claim g_claim;

bool OwnPrivateFolder(const std::string& path) {
  if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return false;
  struct stat st;
  return lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == getuid() &&
         (st.st_mode & 077) == 0;
}

std::string ClaimFolder() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && runtime[0] == '/') {
    std::string folder = std::string(runtime) + "/wayconv";
    if (OwnPrivateFolder(folder)) return folder;
  }
  std::string folder = "/tmp/wayconv-" + std::to_string(getuid());
  return OwnPrivateFolder(folder) ? folder : std::string();
}

// The name as a file name: letters, digits, '-' and '_' as they are,
// every other byte as %XX.
std::string ClaimBase(const std::string& name) {
  std::string folder = ClaimFolder();
  if (folder.empty()) return std::string();
  std::string base = folder + "/";
  for (unsigned char c : name) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
        c == '_') {
      base += static_cast<char>(c);
    } else {
      char hex[4];
      std::snprintf(hex, sizeof hex, "%%%02X", c);
      base += hex;
    }
  }
  return base;
}

bool FillAddress(const std::string& path, sockaddr_un* address) {
  std::memset(address, 0, sizeof *address);
  address->sun_family = AF_UNIX;
  if (path.size() >= sizeof address->sun_path) return false;
  std::memcpy(address->sun_path, path.c_str(), path.size() + 1);
  return true;
}

// Removes a socket no live owner holds.
void RemoveIfStale(const std::string& base) {
  int fd = open((base + ".lock").c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) return;
  if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
    unlink((base + ".sock").c_str());
    flock(fd, LOCK_UN);
  }
  close(fd);
}

// Sends one request line and reads one answer line; false on any failure.
bool Ask(const std::string& base, const std::string& request, std::string* answer) {
  sockaddr_un address;
  if (!FillAddress(base + ".sock", &address)) return false;
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  timeval timeout = {kReplyTimeoutMs / 1000, (kReplyTimeoutMs % 1000) * 1000};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
  setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    int error = errno;
    close(fd);
    if (error == ECONNREFUSED) RemoveIfStale(base);
    return false;
  }
  std::string line = request + "\n";
  bool ok = send(fd, line.data(), line.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(line.size());
  answer->clear();
  char buffer[256];
  while (ok && answer->find('\n') == std::string::npos && answer->size() < kMaxLine) {
    ssize_t got = recv(fd, buffer, sizeof buffer, 0);
    if (got <= 0) break;
    answer->append(buffer, static_cast<size_t>(got));
  }
  close(fd);
  size_t end = answer->find('\n');
  if (!ok || end == std::string::npos) return false;
  answer->resize(end);
  return true;
}

void ServeConnection(int fd, InstanceAnswer answer) {
  timeval timeout = {1, 0};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
  setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
  std::string request;
  char buffer[256];
  while (request.find('\n') == std::string::npos && request.size() < kMaxRequest) {
    ssize_t got = recv(fd, buffer, sizeof buffer, 0);
    if (got <= 0) return;
    request.append(buffer, static_cast<size_t>(got));
  }
  size_t end = request.find('\n');
  if (end == std::string::npos) return;
  request.resize(end);
  std::string reply = answer(request) + "\n";
  send(fd, reply.data(), reply.size(), MSG_NOSIGNAL);
}

}  // namespace

int ClaimInstance(const std::string& name) {
  if (g_claim.lock_fd >= 0) return kClaimNone;  // this process holds one already
  std::string base = ClaimBase(name);
  if (base.empty()) return kClaimNone;
  sockaddr_un address;
  if (!FillAddress(base + ".sock", &address)) return kClaimNone;
  int lock_fd = open((base + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (lock_fd < 0) return kClaimNone;
  if (flock(lock_fd, LOCK_EX | LOCK_NB) != 0) {
    int error = errno;
    close(lock_fd);
    return error == EWOULDBLOCK ? kClaimTaken : kClaimNone;
  }
  g_claim.lock_fd = lock_fd;
  g_claim.socket_path = base + ".sock";
  // Whatever socket file is there belongs to no one now.
  unlink(g_claim.socket_path.c_str());
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd >= 0 && bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      listen(fd, 8) == 0) {
    g_claim.listen_fd = fd;
  } else if (fd >= 0) {
    close(fd);
  }
  return kClaimHeld;
}

void ReleaseInstance() {
  if (g_claim.listen_fd >= 0) {
    close(g_claim.listen_fd);
    unlink(g_claim.socket_path.c_str());  // before the lock goes: never a successor's
  }
  if (g_claim.lock_fd >= 0) close(g_claim.lock_fd);
  g_claim = Claim();
}

int InstanceWatchFd() {
  return g_claim.listen_fd;
}

void ServeInstance(InstanceAnswer answer) {
  if (g_claim.listen_fd < 0) return;
  for (int i = 0; i < 8; ++i) {
    int fd = accept4(g_claim.listen_fd, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) return;
    ServeConnection(fd, answer);
    close(fd);
  }
}

bool AskInstance(const std::string& name, const std::string& request, std::string* answer) {
  std::string base = ClaimBase(name);
  return !base.empty() && Ask(base, request, answer);
}
