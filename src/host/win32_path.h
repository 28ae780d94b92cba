// Host paths and errors on Windows: the program keeps paths as UTF-8 like on
// every host, the Win32 calls take them as UTF-16 (both separators count);
// and the callers say why something failed from errno, which Win32 calls do
// not set.
#pragma once

#include <string>

/// The UTF-16 form of a UTF-8 host path, for the *W calls.
std::wstring WidePath(const std::string& path);

/// Whether `c` separates folders: '\\' or '/'.
inline bool IsPathSeparator(char c) { return c == '\\' || c == '/'; }

/// Sets errno from GetLastError(): the errno of the same meaning (ENOENT,
/// EACCES, ENOSPC, EEXIST, EISDIR...), else EIO.
void SetErrnoFromLastError();
