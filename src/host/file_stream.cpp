#include "host/file_stream.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "host/atomic_file.h"
#include "host/file_stream_host.h"
#include "host/gzip_stream.h"
#include "host/text.h"

namespace {

bool IsDevicePath(const char16_t* path) {
#ifdef _WIN32
  // \\server\share\... and \\?\... are the host's own paths.
  if (path[0] == u'\\' && path[1] == u'\\') return false;
#endif
  return path[0] == u'\\';
}

ByteStream* NewStream(int fd, bool writing) {
  auto* stream = new ByteStream;
  stream->fd = fd;
  stream->writing = writing;
  stream->buffer = static_cast<unsigned char*>(std::malloc(kStreamBufferSize));
  if (stream->buffer == nullptr) {
    delete stream;
    return nullptr;
  }
  stream->next = stream->end = stream->buffer;
  return stream;
}

// Through the atomic writer: a temporary beside the target, or the target
// itself when it is a device or a FIFO.
ByteStream* OpenForWriting(const std::string& host) {
  AtomicFile file;
  if (!AtomicOpen(host, 0666 & ~CurrentUmask(), &file)) return nullptr;
  int fd = file.fd;
  ByteStream* stream = NewStream(fd, true);
  if (stream == nullptr) {
    AtomicCommit(&file, false);  // removes the temporary
    return nullptr;
  }
  stream->target_path = file.target;
  stream->temp_path = file.temp;
  return stream;
}

bool FlushWrites(ByteStream* stream) {
  size_t pending = static_cast<size_t>(stream->end - stream->buffer);
  stream->next = stream->end = stream->buffer;
  if (pending == 0 || stream->failed) return !stream->failed;
  if (!WriteAll(stream->fd, stream->buffer, pending)) stream->failed = true;
  stream->buffer_pos += static_cast<int64_t>(pending);
  return !stream->failed;
}

void PutUtf8(unsigned char*& out, uint32_t c) {
  if (c < 0x80) {
    *out++ = static_cast<unsigned char>(c);
  } else if (c < 0x800) {
    *out++ = static_cast<unsigned char>(0xC0 | (c >> 6));
    *out++ = static_cast<unsigned char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    *out++ = static_cast<unsigned char>(0xE0 | (c >> 12));
    *out++ = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F));
    *out++ = static_cast<unsigned char>(0x80 | (c & 0x3F));
  } else {
    *out++ = static_cast<unsigned char>(0xF0 | (c >> 18));
    *out++ = static_cast<unsigned char>(0x80 | ((c >> 12) & 0x3F));
    *out++ = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F));
    *out++ = static_cast<unsigned char>(0x80 | (c & 0x3F));
  }
}

// Transcodes the next block of UTF-16 into the buffer: at most
// kStreamBufferSize / 2 bytes of the file, which never make more than
// 3/2 as many UTF-8 bytes (plus a carried unit), so the buffer holds them.
// The count of bytes made, 0 at the end, -1 on an error.
int64_t ReadUtf16Block(ByteStream* stream) {
  unsigned char* out = stream->buffer;
  for (;;) {
    int64_t n = HostRead(stream->fd, stream->raw, kStreamBufferSize / 2);
    if (n < 0) return -1;
    if (n == 0) {
      // A cut unit or a high surrogate left alone at the end.
      if (stream->carry_byte >= 0 || stream->carry_high >= 0) PutUtf8(out, 0xFFFD);
      stream->carry_byte = stream->carry_high = -1;
      return out - stream->buffer;
    }
    for (int64_t i = 0; i < n; ++i) {
      if (stream->carry_byte < 0) {
        stream->carry_byte = stream->raw[i];
        continue;
      }
      unsigned first = static_cast<unsigned>(stream->carry_byte);
      unsigned second = stream->raw[i];
      stream->carry_byte = -1;
      uint32_t unit = stream->utf16 == kUtf16Le ? first | (second << 8) : (first << 8) | second;
      if (stream->carry_high >= 0) {
        uint32_t high = static_cast<uint32_t>(stream->carry_high);
        stream->carry_high = -1;
        if (unit >= 0xDC00 && unit <= 0xDFFF) {
          PutUtf8(out, 0x10000 + ((high - 0xD800) << 10) + (unit - 0xDC00));
          continue;
        }
        PutUtf8(out, 0xFFFD);
      }
      if (unit >= 0xD800 && unit <= 0xDBFF) {
        stream->carry_high = static_cast<int>(unit);
      } else {
        PutUtf8(out, unit >= 0xDC00 && unit <= 0xDFFF ? 0xFFFD : unit);
      }
    }
    if (out > stream->buffer) return out - stream->buffer;
  }
}

}  // namespace

int Utf16ByteOrder(const unsigned char* bytes, size_t length) {
  if (length < 2) return 0;
  if (bytes[0] == 0xFF && bytes[1] == 0xFE) return kUtf16Le;
  if (bytes[0] == 0xFE && bytes[1] == 0xFF) return kUtf16Be;
  return 0;
}

bool StreamReadUtf16AsUtf8(ByteStream* stream, int order) {
  // Compressed UTF-16 is not transcoded: the transcoder reads the file itself.
  if (stream->writing || stream->gzip != nullptr || (order != kUtf16Le && order != kUtf16Be)) {
    return false;
  }
  if (stream->raw == nullptr) {
    stream->raw = static_cast<unsigned char*>(std::malloc(kStreamBufferSize / 2));
    if (stream->raw == nullptr) return false;
  }
  stream->utf16 = order;
  if (!HostSeek(stream->fd, 2)) return false;
  stream->buffer_pos = 0;
  stream->next = stream->end = stream->buffer;
  stream->failed = false;
  stream->carry_byte = stream->carry_high = -1;
  return true;
}

std::string HostPath(const char16_t* path) {
  std::string bytes = Utf16ToUtf8(std::u16string_view(path, WideLength(path)));
  if (!IsDevicePath(path)) return bytes;
  // The device has nothing above its root: ".." stops there, "." and empty
  // parts are dropped, so a device path never names a file outside it.
  std::string clamped;
  size_t start = 0;
  while (start <= bytes.size()) {
    size_t end = bytes.find_first_of("\\/", start);
    if (end == std::string::npos) end = bytes.size();
    std::string_view part(bytes.data() + start, end - start);
    if (part == "..") {
      size_t cut = clamped.rfind('/');
      clamped.resize(cut == std::string::npos ? 0 : cut);
    } else if (!part.empty() && part != ".") {
      clamped += '/';
      clamped += part;
    }
    start = end + 1;
  }
  bool folder = bytes.size() > 1 && (bytes.back() == '\\' || bytes.back() == '/');
  if (clamped.empty() || folder) clamped += '/';
  return DeviceRoot() + clamped;
}

ByteStream* StreamOpen(const char16_t* path, const char* mode) {
  if (path == nullptr || path[0] == 0) return nullptr;
  std::string host = HostPath(path);
  if (std::strcmp(mode, "rb") == 0) {
    int fd = HostOpenForReading(host);
    if (fd < 0) return nullptr;
    ByteStream* stream = NewStream(fd, false);
    if (stream == nullptr) HostClose(fd);
    return stream;
  }
  if (std::strcmp(mode, "wb") == 0) {
    if (IsDevicePath(path)) CreateParentFolders(host, 0777);
    return OpenForWriting(host);
  }
  return nullptr;
}

int StreamRefillGetc(ByteStream* stream) {
  if (stream->writing || stream->failed) return -1;
  stream->buffer_pos += stream->end - stream->buffer;
  stream->next = stream->end = stream->buffer;
  int64_t n = stream->utf16 != 0     ? ReadUtf16Block(stream)
              : stream->gzip != nullptr ? GzipRead(stream, stream->buffer, kStreamBufferSize)
                                        : HostRead(stream->fd, stream->buffer, kStreamBufferSize);
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
  // Nothing of a written stream reads back: StreamGetc finds no bytes.
  stream->next = stream->end;
  return done / size;
}

int64_t StreamTell(ByteStream* stream) {
  if (stream->writing) return stream->buffer_pos + (stream->end - stream->buffer);
  return stream->buffer_pos + (stream->next - stream->buffer);
}

int64_t StreamSize(ByteStream* stream) { return HostSize(stream->fd); }

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
    if (!HostSeek(stream->fd, target)) return -1;
    stream->buffer_pos = target;
    return 0;
  }
  // Inside the bytes already buffered: only move the read position.
  if (target >= stream->buffer_pos && target <= stream->buffer_pos + (stream->end - stream->buffer)) {
    stream->next = stream->buffer + (target - stream->buffer_pos);
    return 0;
  }
  // Transcoded text starts again from its beginning only.
  if (stream->utf16 != 0) {
    return target == 0 && StreamReadUtf16AsUtf8(stream, stream->utf16) ? 0 : -1;
  }
  if (stream->gzip != nullptr) return GzipSeek(stream, target);
  if (!HostSeek(stream->fd, target)) return -1;
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
    // The commit: write what is pending, then the atomic writer's sync,
    // rename and folder sync.
    AtomicFile file;
    file.fd = stream->fd;
    file.target = stream->target_path;
    file.temp = stream->temp_path;
    ok = AtomicCommit(&file, FlushWrites(stream));
    if (!ok) error = errno;
  } else if (!HostClose(stream->fd)) {
    ok = false;
    error = errno;
  }
  GzipFree(stream->gzip);
  std::free(stream->buffer);
  std::free(stream->raw);
  delete stream;
  if (!ok) errno = error;
  return ok ? 0 : -1;
}
