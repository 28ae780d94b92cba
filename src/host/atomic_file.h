// The one way this program replaces a file: a temporary beside the target
// is written, flushed, synced and renamed over it, and then the folder is
// synced so that the rename itself survives a crash. Whatever fails, the
// temporary goes and the previous file stays as it was.
//
// A symbolic link is written through (the file it finally names is
// replaced, the link stays), except a link that another user planted in a
// shared sticky folder such as /tmp (see ResolveLinks); an existing file
// keeps its permissions but never its setuid and setgid bits; a read-only
// file is refused (unless AtomicReplaceReadOnly); a target that exists but is
// not a regular file (a device, a FIFO) is opened without waiting and written
// in place, never replaced or removed, and a FIFO that no program reads is
// refused (ENXIO).
//
// While a temporary exists, the signals that would end the process (INT,
// TERM, HUP, PIPE, USR1, USR2, ALRM at their default action) remove it first
// and then end the process as they would have.
//
// Used by the track file's output stream and by the registry file.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string>
#include <string_view>

struct AtomicFile {
  int fd = -1;
  std::string target;  // the file replaced on commit (links resolved)
  std::string temp;    // the temporary; empty when the target is written in place
};

/// Removes the temporary being written, if any. Async-signal-safe: for a
/// signal handler of the program's own that ends the process.
void RemoveTemporaryForSignal();

/// Set by --force: a read-only file is replaced like any other. Off by default.
extern bool AtomicReplaceReadOnly;

/// Opens `path` for replacing. `new_mode` is the permissions of a file that
/// does not exist yet. False (nothing made, errno set) when the target is a
/// folder (EISDIR), a reserved device name (ENODEV), a refused link or a
/// read-only file (EACCES), a FIFO without reader (ENXIO), or the temporary
/// cannot be made.
bool AtomicOpen(const std::string& path, mode_t new_mode, AtomicFile* file);

/// With `ok`, syncs, closes and renames the temporary over the target, then
/// syncs the folder; else (or when any of that fails) closes and removes the
/// temporary. True when the target now holds what was written; when false,
/// errno says why (the first step that failed).
bool AtomicCommit(AtomicFile* file, bool ok);

/// Replaces `path` with `bytes` as a whole. On failure *error (when given)
/// is the errno of the step that failed.
bool WriteFileAtomically(const std::string& path, std::string_view bytes, mode_t new_mode,
                         int* error = nullptr);

/// Writes all `size` bytes, retrying after signals; false on an error.
bool WriteAll(int fd, const void* data, size_t size);

/// Creates every missing folder on the way to `file` (not the file itself)
/// with `mode`; an existing folder is fine, real failures show when the file
/// is made. Returns the errno of the last folder that could not be made, or 0.
int CreateParentFolders(const std::string& file, mode_t mode);

/// Whether `path` is a folder (links followed).
bool IsFolder(const std::string& path);

/// The folder part of a path ("." for a bare name, "/" at the root).
std::string FolderOf(const std::string& path);

/// Follows symbolic links from `path` to the name that is finally written,
/// also when the last link points to a file that does not exist yet. As the
/// kernel's protected-symlinks rule does, a link in a sticky folder that
/// everyone may write is followed only when it belongs to the caller or to
/// the folder's owner; links under $WAYCONV_ROOT are the user's own and always
/// followed. At a link that is not followed, *refused (when given) is set and
/// that link is returned.
std::string ResolveLinks(const std::string& path, bool* refused = nullptr);

/// Whether `a` and `b` name one existing file (device and inode; links, ".."
/// and hard links included).
bool SameFile(const std::string& a, const std::string& b);

/// Whether `path` names a device the host reserves, which no output may be:
/// on Windows CON, PRN, AUX, NUL, COM1..COM9 and LPT1..LPT9 as the last part
/// of a path with any extension, and every \\.\ path; but not NUL itself (or
/// \\.\NUL), the empty sink. Never on POSIX hosts.
bool IsReservedDeviceName(const std::string& path);

/// Whether `path` is an existing regular file that this process may not
/// write, or that nobody may (root included).
bool IsReadOnlyFile(const std::string& path);

/// The process's file creation mask.
mode_t CurrentUmask();
