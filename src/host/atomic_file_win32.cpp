// The atomic writer on Windows: the temporary beside the target is created
// with CREATE_NEW, flushed with FlushFileBuffers and moved over the target
// with MoveFileExW(MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH), which
// also makes the rename durable; the target's attributes (hidden, system,
// archive) are carried over. A read-only file is refused, as fopen refuses it
// (Windows would not replace it; Wine would). A target that is not a disk file
// (NUL, a console, a named pipe) is written in place. Windows has no symbolic
// links an unprivileged user makes, so paths are not resolved; permissions
// are the folder's inherited ones, and `new_mode` means nothing here.
#include <windows.h>

#include <cerrno>
#include <cstring>

#include "host/atomic_file.h"
#include "host/win32_path.h"

bool AtomicReplaceReadOnly = false;

void RemoveTemporaryForSignal() {}

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr DWORD kKeptAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                  FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

size_t LastSeparator(const std::string& path) {
  for (size_t i = path.size(); i > 0; --i) {
    if (IsPathSeparator(path[i - 1])) return i - 1;
  }
  return std::string::npos;
}

// Where the folder part of `path` ends: after its last separator, or after
// the drive of a drive-relative name ("a:b.bin"), else 0.
size_t FolderLength(const std::string& path) {
  size_t cut = LastSeparator(path);
  if (cut != std::string::npos) return cut + 1;
  return path.size() >= 2 && path[1] == ':' ? 2 : 0;
}

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool EqualsIgnoringCase(const std::string& a, const char* b) {
  size_t n = std::strlen(b);
  if (a.size() != n) return false;
  for (size_t i = 0; i < n; ++i) {
    if (Upper(a[i]) != b[i]) return false;
  }
  return true;
}

// Creates a fresh temporary beside `target`: ".NAME.wayconv-PID-N". Beside a
// drive-relative name means on that drive, so a missing drive fails here.
HANDLE CreateTemporary(const std::string& target, DWORD attributes, std::string* temp) {
  size_t cut = FolderLength(target);
  std::string folder = target.substr(0, cut);
  std::string base = target.substr(cut);
  static unsigned counter = 0;
  for (int attempt = 0; attempt < 100; ++attempt) {
    *temp = folder + "." + base + ".wayconv-" + std::to_string(GetCurrentProcessId()) + "-" +
            std::to_string(++counter);
    HANDLE handle = CreateFileW(WidePath(*temp).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                attributes, nullptr);
    if (handle != INVALID_HANDLE_VALUE) return handle;
    if (GetLastError() != ERROR_FILE_EXISTS) return INVALID_HANDLE_VALUE;
  }
  return INVALID_HANDLE_VALUE;
}

}  // namespace

bool WriteAll(int fd, const void* data, size_t size) {
  const auto* bytes = static_cast<const unsigned char*>(data);
  while (size > 0) {
    DWORD chunk = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
    DWORD written = 0;
    if (!WriteFile(LongToHandle(fd), bytes, chunk, &written, nullptr) || written == 0) {
      SetErrnoFromLastError();
      return false;
    }
    bytes += written;
    size -= written;
  }
  return true;
}

int CreateParentFolders(const std::string& file, mode_t) {
  // Prefixes that are no folder ("C:", a server's name) fail harmlessly:
  // only a failure other than "exists" or "access denied" on such a prefix
  // is kept.
  int error = 0;
  for (size_t i = 1; i < file.size(); ++i) {
    if (!IsPathSeparator(file[i])) continue;
    if (CreateDirectoryW(WidePath(file.substr(0, i)).c_str(), nullptr) == 0 &&
        GetLastError() != ERROR_ALREADY_EXISTS) {
      SetErrnoFromLastError();
      error = errno;
    }
  }
  return error;
}

bool IsFolder(const std::string& path) {
  DWORD attributes = GetFileAttributesW(WidePath(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::string FolderOf(const std::string& path) {
  size_t cut = LastSeparator(path);
  if (cut == std::string::npos) return ".";
  if (cut == 0) return path.substr(0, 1);
  return path.substr(0, cut);
}

std::string ResolveLinks(const std::string& path, bool* refused) {
  if (refused != nullptr) *refused = false;
  return path;
}

bool SameFile(const std::string& a, const std::string& b) {
  // The volume's serial number and the file index name a file, as device
  // and inode do.
  auto identity = [](const std::string& path, BY_HANDLE_FILE_INFORMATION* info) {
    HANDLE handle = CreateFileW(WidePath(path).c_str(), 0, kShareAll, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    bool ok = GetFileInformationByHandle(handle, info) != 0;
    CloseHandle(handle);
    return ok;
  };
  BY_HANDLE_FILE_INFORMATION ia, ib;
  return identity(a, &ia) && identity(b, &ib) &&
         ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber &&
         ia.nFileIndexHigh == ib.nFileIndexHigh && ia.nFileIndexLow == ib.nFileIndexLow;
}

bool IsReservedDeviceName(const std::string& path) {
  if (EqualsIgnoringCase(path, "NUL") || EqualsIgnoringCase(path, "\\\\.\\NUL")) return false;
  if (path.size() >= 4 && IsPathSeparator(path[0]) && IsPathSeparator(path[1]) &&
      path[2] == '.' && IsPathSeparator(path[3])) {
    return true;  // the device namespace
  }
  // The last part up to its first dot, without trailing blanks, is what
  // Windows compares.
  std::string base = path.substr(FolderLength(path));
  base = base.substr(0, base.find('.'));
  while (!base.empty() && base.back() == ' ') base.pop_back();
  for (const char* name : {"CON", "PRN", "AUX", "NUL"}) {
    if (EqualsIgnoringCase(base, name)) return true;
  }
  return base.size() == 4 && (EqualsIgnoringCase(base.substr(0, 3), "COM") ||
                              EqualsIgnoringCase(base.substr(0, 3), "LPT")) &&
         base[3] >= '1' && base[3] <= '9';
}

bool IsReadOnlyFile(const std::string& path) {
  DWORD attributes = GetFileAttributesW(WidePath(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES &&
         (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) ==
             FILE_ATTRIBUTE_READONLY;
}

mode_t CurrentUmask() { return 0; }

bool AtomicOpen(const std::string& path, mode_t, AtomicFile* file) {
  *file = AtomicFile();
  if (IsReservedDeviceName(path)) {
    errno = ENODEV;
    return false;
  }
  std::wstring wide = WidePath(path);
  DWORD attributes = GetFileAttributesW(wide.c_str());
  bool exists = attributes != INVALID_FILE_ATTRIBUTES;
  if (exists && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    errno = EISDIR;
    return false;
  }
  if (exists && (attributes & FILE_ATTRIBUTE_READONLY) != 0 && !AtomicReplaceReadOnly) {
    errno = EACCES;
    return false;
  }
  // A device or a pipe: written in place, never replaced.
  HANDLE existing = CreateFileW(wide.c_str(), GENERIC_WRITE, kShareAll, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
  if (existing != INVALID_HANDLE_VALUE) {
    if (GetFileType(existing) != FILE_TYPE_DISK) {
      file->fd = HandleToLong(existing);
      file->target = path;
      return true;
    }
    CloseHandle(existing);
  }
  DWORD kept = exists ? attributes & kKeptAttributes : 0;
  std::string temp;
  HANDLE handle = CreateTemporary(path, kept != 0 ? kept : FILE_ATTRIBUTE_NORMAL, &temp);
  if (handle == INVALID_HANDLE_VALUE) {
    SetErrnoFromLastError();
    return false;
  }
  file->fd = HandleToLong(handle);
  file->target = path;
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
      SetErrnoFromLastError();
      ok = false;
      error = errno;
    }
  };
  HANDLE handle = LongToHandle(file->fd);
  if (ok && !file->temp.empty()) failed(FlushFileBuffers(handle) != 0);
  failed(CloseHandle(handle) != 0);
  file->fd = -1;
  if (!file->temp.empty()) {
    std::wstring temp = WidePath(file->temp);
    if (ok && AtomicReplaceReadOnly) {
      // --force: a read-only target gives way (the rename cannot replace it).
      std::wstring target = WidePath(file->target);
      DWORD attributes = GetFileAttributesW(target.c_str());
      if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        SetFileAttributesW(target.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
      }
    }
    if (ok) {
      failed(MoveFileExW(temp.c_str(), WidePath(file->target).c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0);
    }
    if (!ok) DeleteFileW(temp.c_str());
  }
  if (!ok) errno = error;
  return ok;
}

bool WriteFileAtomically(const std::string& path, std::string_view bytes, mode_t new_mode,
                         int* error) {
  AtomicFile file;
  bool ok = AtomicOpen(path, new_mode, &file) &&
            AtomicCommit(&file, WriteAll(file.fd, bytes.data(), bytes.size()));
  if (!ok && error != nullptr) *error = errno != 0 ? errno : EIO;
  return ok;
}
