// The basic types of the handheld API that the shell is written against, as
// the platform layer provides them on this host. Wide text is UTF-16.
#pragma once

#include <cstdint>

using BOOL = int;
using BYTE = uint8_t;
using WORD = uint16_t;
using DWORD = uint32_t;
using LONG = int32_t;
using UINT = unsigned int;
using WCHAR = char16_t;
using LPWSTR = char16_t*;
using LPCWSTR = const char16_t*;
using WPARAM = uintptr_t;
using LPARAM = intptr_t;
using LRESULT = intptr_t;

constexpr BOOL TRUE = 1;
constexpr BOOL FALSE = 0;

struct PlatformWindow;    // defined by the window layer
struct PlatformRegKey;    // defined by the registry
struct PlatformInstance;  // the program's instance

using HWND = PlatformWindow*;
using HKEY = PlatformRegKey*;
using HINSTANCE = PlatformInstance*;

constexpr WORD LOWORD(uintptr_t value) { return static_cast<WORD>(value & 0xFFFF); }
constexpr WORD HIWORD(uintptr_t value) { return static_cast<WORD>((value >> 16) & 0xFFFF); }
