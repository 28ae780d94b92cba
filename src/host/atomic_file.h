// The one way this program replaces a file: a temporary beside the target
// is written, flushed, synced and renamed over it, and then the folder is
// synced so that the rename itself survives a crash. Whatever fails, the
// temporary goes and the previous file stays as it was.
//
// A symbolic link is written through (the file it finally names is
// replaced, the link stays); an existing file keeps its permissions; a
// target that exists but is not a regular file (a device, a FIFO) is opened
// and written in place, as fopen would, never replaced or removed.
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

/// Opens `path` for replacing. `new_mode` is the permissions of a file that
/// does not exist yet. False (nothing made, errno set) when the target is a
/// folder or the temporary cannot be made.
bool AtomicOpen(const std::string& path, mode_t new_mode, AtomicFile* file);

/// With `ok`, syncs, closes and renames the temporary over the target, then
/// syncs the folder; else (or when any of that fails) closes and removes the
/// temporary. True when the target now holds what was written; when false,
/// errno says why (the first step that failed).
bool AtomicCommit(AtomicFile* file, bool ok);

/// Replaces `path` with `bytes` as a whole.
bool WriteFileAtomically(const std::string& path, std::string_view bytes, mode_t new_mode);

/// Writes all `size` bytes, retrying after signals; false on an error.
bool WriteAll(int fd, const void* data, size_t size);

/// Creates every missing folder on the way to `file` (not the file itself)
/// with `mode`; an existing folder is fine, real failures show when the file
/// is made.
void CreateParentFolders(const std::string& file, mode_t mode);

/// Whether `path` is a folder (links followed).
bool IsFolder(const std::string& path);

/// The folder part of a path ("." for a bare name, "/" at the root).
std::string FolderOf(const std::string& path);

/// Follows symbolic links from `path` to the name that is finally written,
/// also when the last link points to a file that does not exist yet.
std::string ResolveLinks(const std::string& path);

/// The process's file creation mask.
mode_t CurrentUmask();
