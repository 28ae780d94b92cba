// Byte streams on the Win32 file API: CreateFileW with the UTF-16 path as it
// comes, ReadFile and WriteFile in the same large blocks as on POSIX hosts.
//
// The stream's `fd` holds the file's HANDLE as HandleToLong gives it: kernel
// handles are 32-bit values on 64-bit Windows, and -1 is INVALID_HANDLE_VALUE.
//
// Writing a file goes to a temporary beside it, which StreamClose flushes
// (FlushFileBuffers) and moves over the target with MoveFileExW
// (MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH); the target's
// attributes are carried over. A read-only file is refused, as fopen does. A target that is not a
// disk file (NUL, a console, a named pipe) is written in place. Windows has no
// symbolic links an unprivileged user makes, so paths are not resolved.
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/file_stream.h"
#include "platform/text.h"

namespace {

bool IsDevicePath(const char16_t* path) { return path[0] == u'\\'; }

const wchar_t* Wide(const std::u16string& text) {
  return reinterpret_cast<const wchar_t*>(text.c_str());
}

HANDLE HandleOf(const ByteStream* stream) { return LongToHandle(stream->fd); }

std::u16string EnvironmentValue(const wchar_t* name) {
  wchar_t value[4096];
  DWORD length = GetEnvironmentVariableW(name, value, sizeof value / sizeof value[0]);
  if (length == 0 || length >= sizeof value / sizeof value[0]) return std::u16string();
  return std::u16string(reinterpret_cast<const char16_t*>(value), length);
}

bool IsSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

// The device root as a wide path, without a trailing separator.
std::u16string WideDeviceRoot() {
  std::u16string root = EnvironmentValue(L"WAYCONV_ROOT");
  if (root.empty()) root = EnvironmentValue(L"USERPROFILE");
  if (root.empty()) root = u".";
  while (root.size() > 1 && IsSeparator(root.back())) root.pop_back();
  return root;
}

// The host path a wide path stands for: device paths under the root.
std::u16string WideHostPath(const char16_t* path) {
  std::u16string text(path, WideLength(path));
  return IsDevicePath(path) ? WideDeviceRoot() + text : text;
}

// Creates every missing folder on the way to `file` (not the file itself).
// Prefixes that are no folder ("C:", a server name) fail harmlessly.
void CreateParentFolders(const std::u16string& file) {
  for (size_t i = 1; i < file.size(); ++i) {
    if (!IsSeparator(file[i])) continue;
    std::u16string folder = file.substr(0, i);
    CreateDirectoryW(Wide(folder), nullptr);  // an existing folder is fine
  }
}

size_t LastSeparator(const std::u16string& path) {
  for (size_t i = path.size(); i > 0; --i) {
    if (IsSeparator(path[i - 1])) return i - 1;
  }
  return std::u16string::npos;
}

ByteStream* NewStream(HANDLE handle, bool writing) {
  auto* stream = new ByteStream;
  stream->fd = HandleToLong(handle);
  stream->writing = writing;
  stream->buffer = static_cast<unsigned char*>(std::malloc(kStreamBufferSize));
  if (stream->buffer == nullptr) {
    CloseHandle(handle);
    delete stream;
    return nullptr;
  }
  stream->next = stream->end = stream->buffer;
  return stream;
}

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Only a disk file opens: the conversion reads its input twice, which a pipe
// or a device cannot give. A folder does not open without backup semantics.
ByteStream* OpenForReading(const std::u16string& host) {
  HANDLE handle = CreateFileW(Wide(host), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  if (GetFileType(handle) != FILE_TYPE_DISK) {
    CloseHandle(handle);
    return nullptr;
  }
  return NewStream(handle, false);
}

// Creates a fresh temporary beside `target`: ".NAME.wayconv-PID-N".
HANDLE CreateTemporary(const std::u16string& target, DWORD attributes, std::u16string* temp) {
  size_t cut = LastSeparator(target);
  std::u16string folder = cut == std::u16string::npos ? u"" : target.substr(0, cut + 1);
  std::u16string base = cut == std::u16string::npos ? target : target.substr(cut + 1);
  static unsigned counter = 0;
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string suffix = ".wayconv-" + std::to_string(GetCurrentProcessId()) + "-" +
                         std::to_string(++counter);
    *temp = folder + u"." + base + Utf8ToUtf16(suffix);
    HANDLE handle = CreateFileW(Wide(*temp), GENERIC_WRITE, 0, nullptr, CREATE_NEW, attributes,
                                nullptr);
    if (handle != INVALID_HANDLE_VALUE) return handle;
    if (GetLastError() != ERROR_FILE_EXISTS) return INVALID_HANDLE_VALUE;
  }
  return INVALID_HANDLE_VALUE;
}

ByteStream* OpenForWriting(const std::u16string& target) {
  DWORD attributes = GetFileAttributesW(Wide(target));
  bool exists = attributes != INVALID_FILE_ATTRIBUTES;
  if (exists && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return nullptr;
  // A read-only file is not opened for writing, as fopen refuses it; Windows
  // would refuse to replace it too, but Wine does not, so ask here.
  if (exists && (attributes & FILE_ATTRIBUTE_READONLY) != 0) return nullptr;
  // A device (NUL, CON) or a pipe is written in place, never replaced.
  HANDLE existing = CreateFileW(Wide(target), GENERIC_WRITE, kShareAll, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
  if (existing != INVALID_HANDLE_VALUE) {
    if (GetFileType(existing) != FILE_TYPE_DISK) return NewStream(existing, true);
    CloseHandle(existing);
  }
  DWORD kept = FILE_ATTRIBUTE_NORMAL;
  if (exists) {
    kept = attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                         FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);
    if (kept == 0) kept = FILE_ATTRIBUTE_NORMAL;
  }
  std::u16string temp;
  HANDLE handle = CreateTemporary(target, kept, &temp);
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  ByteStream* stream = NewStream(handle, true);
  if (stream == nullptr) {
    DeleteFileW(Wide(temp));
    return nullptr;
  }
  stream->target_path = Utf16ToUtf8(target);
  stream->temp_path = Utf16ToUtf8(temp);
  return stream;
}

bool WriteAll(HANDLE handle, const unsigned char* data, size_t size) {
  while (size > 0) {
    DWORD chunk = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
    DWORD written = 0;
    if (!WriteFile(handle, data, chunk, &written, nullptr) || written == 0) return false;
    data += written;
    size -= written;
  }
  return true;
}

bool FlushWrites(ByteStream* stream) {
  size_t pending = static_cast<size_t>(stream->end - stream->buffer);
  stream->end = stream->buffer;
  if (pending == 0 || stream->failed) return !stream->failed;
  if (!WriteAll(HandleOf(stream), stream->buffer, pending)) stream->failed = true;
  stream->buffer_pos += static_cast<int64_t>(pending);
  return !stream->failed;
}

bool SetPosition(HANDLE handle, int64_t offset) {
  LARGE_INTEGER distance;
  distance.QuadPart = offset;
  return SetFilePointerEx(handle, distance, nullptr, FILE_BEGIN) != 0;
}

}  // namespace

std::string ResolveLinks(const std::string& path) { return path; }

std::string DeviceRoot() { return Utf16ToUtf8(WideDeviceRoot()); }

std::string HostPath(const char16_t* path) { return Utf16ToUtf8(WideHostPath(path)); }

ByteStream* StreamOpen(const char16_t* path, const char* mode) {
  if (path == nullptr || path[0] == 0) return nullptr;
  std::u16string host = WideHostPath(path);
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
  DWORD got = 0;
  if (!ReadFile(HandleOf(stream), stream->buffer, static_cast<DWORD>(kStreamBufferSize), &got,
                nullptr)) {
    stream->failed = true;
    return -1;
  }
  if (got == 0) return -1;
  stream->end = stream->buffer + got;
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
    if (!SetPosition(HandleOf(stream), target)) return -1;
    stream->buffer_pos = target;
    return 0;
  }
  // Inside the bytes already buffered: only move the read position.
  if (target >= stream->buffer_pos && target <= stream->buffer_pos + (stream->end - stream->buffer)) {
    stream->next = stream->buffer + (target - stream->buffer_pos);
    return 0;
  }
  if (!SetPosition(HandleOf(stream), target)) return -1;
  stream->buffer_pos = target;
  stream->next = stream->end = stream->buffer;
  stream->failed = false;
  return 0;
}

int StreamClose(ByteStream* stream) {
  if (stream == nullptr) return 0;
  bool ok = true;
  bool replacing = stream->writing && !stream->temp_path.empty();
  if (stream->writing) {
    ok = FlushWrites(stream);
    if (ok && replacing && !FlushFileBuffers(HandleOf(stream))) ok = false;
  }
  if (!CloseHandle(HandleOf(stream))) ok = false;
  if (replacing) {
    std::u16string temp = Utf8ToUtf16(stream->temp_path);
    std::u16string target = Utf8ToUtf16(stream->target_path);
    if (ok && !MoveFileExW(Wide(temp), Wide(target),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      ok = false;
    }
    if (!ok) DeleteFileW(Wide(temp));
  }
  std::free(stream->buffer);
  delete stream;
  return ok ? 0 : -1;
}
