#include "platform/file_stream.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/text.h"

namespace {

bool IsDevicePath(const char16_t* path) { return path[0] == u'\\'; }

// Creates every missing folder on the way to `file` (not the file itself).
void CreateParentFolders(const std::string& file) {
  for (size_t slash = file.find('/', 1); slash != std::string::npos;
       slash = file.find('/', slash + 1)) {
    std::string folder = file.substr(0, slash);
    mkdir(folder.c_str(), 0777);  // an existing folder is fine; real failures show at open
  }
}

std::string Folder(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string Base(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

mode_t CurrentUmask() {
  mode_t mask = umask(0);
  umask(mask);
  return mask;
}

ByteStream* NewStream(int fd, bool writing) {
  auto* stream = new ByteStream;
  stream->fd = fd;
  stream->writing = writing;
  stream->buffer = static_cast<unsigned char*>(std::malloc(kStreamBufferSize));
  if (stream->buffer == nullptr) {
    close(fd);
    delete stream;
    return nullptr;
  }
  stream->next = stream->end = stream->buffer;
  return stream;
}

// Only a regular file opens: the conversion reads its input twice, which a
// FIFO or a device cannot give, and a FIFO without a writer would block the
// open for ever, /dev/zero the reading. O_NONBLOCK keeps the open itself from
// waiting; it is cleared again for the regular file.
ByteStream* OpenForReading(const std::string& host) {
  int fd = open(host.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return nullptr;
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || fcntl(fd, F_SETFL, 0) != 0) {
    close(fd);
    return nullptr;
  }
  return NewStream(fd, false);
}

ByteStream* OpenForWriting(const std::string& host) {
  std::string target = ResolveLinks(host);
  struct stat st;
  bool exists = stat(target.c_str(), &st) == 0;
  if (exists && S_ISDIR(st.st_mode)) {
    errno = EISDIR;
    return nullptr;
  }
  if (exists && !S_ISREG(st.st_mode)) {
    // A device or a FIFO: write in place, never replace or remove it.
    int fd = open(target.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0) return nullptr;
    return NewStream(fd, true);
  }
  std::string temp = Folder(target) + "/." + Base(target) + ".wayconv-XXXXXX";
  int fd = mkstemp(temp.data());
  if (fd < 0) return nullptr;
  mode_t mode = exists ? (st.st_mode & 07777) : (0666 & ~CurrentUmask());
  fchmod(fd, mode);
  fcntl(fd, F_SETFD, FD_CLOEXEC);
  ByteStream* stream = NewStream(fd, true);
  if (stream == nullptr) {
    unlink(temp.c_str());
    return nullptr;
  }
  stream->target_path = target;
  stream->temp_path = temp;
  return stream;
}

bool WriteAll(int fd, const unsigned char* data, size_t size) {
  while (size > 0) {
    ssize_t n = write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) return false;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

bool FlushWrites(ByteStream* stream) {
  size_t pending = static_cast<size_t>(stream->end - stream->buffer);
  stream->end = stream->buffer;
  if (pending == 0 || stream->failed) return !stream->failed;
  if (!WriteAll(stream->fd, stream->buffer, pending)) stream->failed = true;
  stream->buffer_pos += static_cast<int64_t>(pending);
  return !stream->failed;
}

}  // namespace

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
      current = Folder(current) + "/" + target;
    }
  }
  return current;
}


std::string DeviceRoot() {
  const char* root = std::getenv("WAYCONV_ROOT");
  if (root == nullptr || root[0] == 0) root = std::getenv("HOME");
  if (root == nullptr || root[0] == 0) root = ".";
  std::string result = root;
  while (result.size() > 1 && result.back() == '/') result.pop_back();
  return result;
}

std::string HostPath(const char16_t* path) {
  std::string bytes = Utf16ToUtf8(std::u16string_view(path, WideLength(path)));
  if (!IsDevicePath(path)) return bytes;
  for (char& c : bytes) {
    if (c == '\\') c = '/';
  }
  return DeviceRoot() + bytes;
}

ByteStream* StreamOpen(const char16_t* path, const char* mode) {
  if (path == nullptr || path[0] == 0) return nullptr;
  std::string host = HostPath(path);
  if (std::strcmp(mode, "rb") == 0) return OpenForReading(host);
  if (std::strcmp(mode, "wb") == 0) {
    if (IsDevicePath(path)) CreateParentFolders(host);
    return OpenForWriting(host);
  }
  return nullptr;
}

int StreamRefillGetc(ByteStream* stream) {
  if (stream->writing || stream->failed) return -1;
  stream->buffer_pos += stream->end - stream->buffer;
  stream->next = stream->end = stream->buffer;
  ssize_t n;
  do {
    n = read(stream->fd, stream->buffer, kStreamBufferSize);
  } while (n < 0 && errno == EINTR);
  if (n < 0) stream->failed = true;
  if (n <= 0) return -1;
  stream->end = stream->buffer + n;
  return *stream->next++;
}

size_t StreamFill(ByteStream* stream) {
  if (stream->next == stream->end) {
    if (StreamRefillGetc(stream) < 0) return 0;
    --stream->next;  // hand the byte back: it stays in the buffer
  }
  return static_cast<size_t>(stream->end - stream->next);
}

size_t StreamRead(void* data, size_t size, size_t count, ByteStream* stream) {
  if (size == 0 || count == 0 || stream->writing) return 0;
  size_t wanted = size * count;
  auto* out = static_cast<unsigned char*>(data);
  size_t got = 0;
  while (got < wanted) {
    size_t available = static_cast<size_t>(stream->end - stream->next);
    if (available == 0) {
      int c = StreamRefillGetc(stream);
      if (c < 0) break;
      out[got++] = static_cast<unsigned char>(c);
      continue;
    }
    size_t take = wanted - got < available ? wanted - got : available;
    std::memcpy(out + got, stream->next, take);
    stream->next += take;
    got += take;
  }
  return got / size;
}

size_t StreamWrite(const void* data, size_t size, size_t count, ByteStream* stream) {
  if (size == 0 || count == 0 || !stream->writing || stream->failed) return 0;
  size_t wanted = size * count;
  const auto* in = static_cast<const unsigned char*>(data);
  size_t done = 0;
  while (done < wanted) {
    size_t room = kStreamBufferSize - static_cast<size_t>(stream->end - stream->buffer);
    if (room == 0) {
      if (!FlushWrites(stream)) break;
      continue;
    }
    size_t take = wanted - done < room ? wanted - done : room;
    std::memcpy(stream->end, in + done, take);
    stream->end += take;
    done += take;
  }
  return done / size;
}

int64_t StreamTell(ByteStream* stream) {
  if (stream->writing) return stream->buffer_pos + (stream->end - stream->buffer);
  return stream->buffer_pos + (stream->next - stream->buffer);
}

int StreamSeek(ByteStream* stream, int64_t offset, int origin) {
  int64_t target;
  if (origin == kStreamSeekSet) {
    target = offset;
  } else if (origin == kStreamSeekCur) {
    int64_t here = StreamTell(stream);
    if (__builtin_add_overflow(here, offset, &target)) return -1;
  } else {
    return -1;
  }
  if (target < 0) return -1;
  if (stream->writing) {
    if (!FlushWrites(stream)) return -1;
    if (lseek(stream->fd, target, SEEK_SET) < 0) return -1;
    stream->buffer_pos = target;
    return 0;
  }
  // Inside the bytes already buffered: only move the read position.
  if (target >= stream->buffer_pos && target <= stream->buffer_pos + (stream->end - stream->buffer)) {
    stream->next = stream->buffer + (target - stream->buffer_pos);
    return 0;
  }
  if (lseek(stream->fd, target, SEEK_SET) < 0) return -1;
  stream->buffer_pos = target;
  stream->next = stream->end = stream->buffer;
  stream->failed = false;
  return 0;
}

int StreamClose(ByteStream* stream) {
  if (stream == nullptr) return 0;
  bool ok = true;
  int error = 0;  // errno of the first step that failed, kept for the caller
  if (stream->writing) {
    ok = FlushWrites(stream);
    if (!ok) error = errno;
    if (ok && !stream->temp_path.empty() && fsync(stream->fd) != 0) {
      ok = false;
      error = errno;
    }
  }
  if (close(stream->fd) != 0 && ok) {
    ok = false;
    error = errno;
  }
  if (stream->writing && !stream->temp_path.empty()) {
    if (ok && rename(stream->temp_path.c_str(), stream->target_path.c_str()) != 0) {
      ok = false;
      error = errno;
    }
    if (!ok) unlink(stream->temp_path.c_str());
  }
  std::free(stream->buffer);
  delete stream;
  if (!ok) errno = error;
  return ok ? 0 : -1;
}
