// The byte streams' host calls on Windows: CreateFileW with the path in
// UTF-16, ReadFile, SetFilePointerEx, CloseHandle. The device root is
// WAYCONV_ROOT, else the user's profile folder (USERPROFILE), as HOME is on
// other hosts.
#include <windows.h>

#include <cerrno>

#include "host/file_stream.h"
#include "host/file_stream_host.h"
#include "host/text.h"
#include "host/win32_path.h"

namespace {

std::string EnvironmentValue(const wchar_t* name) {
  wchar_t value[4096];
  DWORD length = GetEnvironmentVariableW(name, value, sizeof value / sizeof value[0]);
  if (length == 0 || length >= sizeof value / sizeof value[0]) return std::string();
  return Utf16ToUtf8(std::u16string(value, value + length));
}

}  // namespace

void SetErrnoFromLastError() {
  switch (GetLastError()) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_NETPATH:
      errno = ENOENT;
      break;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT:
      errno = EACCES;
      break;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      errno = ENOSPC;
      break;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      errno = EEXIST;
      break;
    case ERROR_DIRECTORY:
      errno = EISDIR;
      break;
    case ERROR_BROKEN_PIPE:
    case ERROR_NO_DATA:
      errno = EPIPE;
      break;
    case ERROR_FILENAME_EXCED_RANGE:
      errno = ENAMETOOLONG;
      break;
    default:
      errno = EIO;
      break;
  }
}

std::wstring WidePath(const std::string& path) {
  std::u16string text = Utf8ToUtf16(path);
  std::wstring wide(text.begin(), text.end());
  // Past MAX_PATH (less the room CreateDirectoryW wants) the file calls take
  // a path only in its "\\?\" form: full, with backslashes, up to 32767
  // characters. The program's paths reach 2047 characters.
  constexpr size_t kShortPathLimit = MAX_PATH - 12;
  if (wide.size() < kShortPathLimit || wide.rfind(L"\\\\?\\", 0) == 0) return wide;
  DWORD size = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (size == 0) return wide;
  std::wstring full(size, L'\0');
  size = GetFullPathNameW(wide.c_str(), size, full.data(), nullptr);
  if (size == 0 || size >= full.size()) return wide;
  full.resize(size);
  if (full.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

// Only a disk file opens: the conversion reads its input twice, which a pipe
// or a device (NUL, CON) cannot give. A folder does not open without backup
// semantics.
int HostOpenForReading(const std::string& path) {
  HANDLE handle = CreateFileW(WidePath(path).c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN,
                              nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    SetErrnoFromLastError();
    return -1;
  }
  if (GetFileType(handle) != FILE_TYPE_DISK) {
    CloseHandle(handle);
    errno = EINVAL;  // not a regular file
    return -1;
  }
  return HandleToLong(handle);
}

int64_t HostRead(int file, void* data, size_t size) {
  DWORD got = 0;
  DWORD want = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
  if (!ReadFile(LongToHandle(file), data, want, &got, nullptr)) {
    SetErrnoFromLastError();
    return -1;
  }
  return got;
}

bool HostSeek(int file, int64_t offset) {
  LARGE_INTEGER distance;
  distance.QuadPart = offset;
  if (SetFilePointerEx(LongToHandle(file), distance, nullptr, FILE_BEGIN)) return true;
  SetErrnoFromLastError();
  return false;
}

int64_t HostSize(int file) {
  LARGE_INTEGER size;
  if (GetFileSizeEx(LongToHandle(file), &size)) return size.QuadPart;
  SetErrnoFromLastError();
  return -1;
}

bool HostClose(int file) {
  if (CloseHandle(LongToHandle(file))) return true;
  SetErrnoFromLastError();
  return false;
}

std::string DeviceRoot() {
  std::string root = EnvironmentValue(L"WAYCONV_ROOT");
  if (root.empty()) root = EnvironmentValue(L"USERPROFILE");
  if (root.empty()) return std::string(1, '.');
  size_t end = root.size();
  while (end > 1 && IsPathSeparator(root[end - 1])) --end;
  root.resize(end);
  return root;
}
