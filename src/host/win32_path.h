// Host paths on Windows: the program keeps them as UTF-8 like on every host;
// the Win32 calls take them as UTF-16. Both separators count.
#pragma once

#include <string>

/// The UTF-16 form of a UTF-8 host path, for the *W calls.
std::wstring WidePath(const std::string& path);

/// Whether `c` separates folders: '\\' or '/'.
inline bool IsPathSeparator(char c) { return c == '\\' || c == '/'; }
