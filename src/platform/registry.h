// The handheld registry, for HKEY_CURRENT_USER only, kept in one text file on
// the host: $XDG_CONFIG_HOME/wayconv/registry.reg, or
// $HOME/.config/wayconv/registry.reg when XDG_CONFIG_HOME is unset or relative.
//
// File format (the registry editor's export format), written as UTF-8 with CR LF
// line ends; a UTF-16LE file that starts with a byte order mark is read as well:
//
//   Windows Registry Editor Version 5.00
//
//   [HKEY_CURRENT_USER\Software\Brivex\Wayconv]
//   "OutputFile"="\\My Documents\\Tracks.bin"
//   "DoSplit"=dword:00000001
//   "Blob"=hex:01,02,03
//   "Odd"=hex(1):41,00,42,00,43
//
// Names and strings escape \ and " with a backslash; "@" names the default
// value. A REG_SZ is written as a quoted string only when reading that string
// back gives the very same bytes (the text plus one terminator); a REG_DWORD
// only as dword: when it is 4 bytes. Everything else is hex(N) (hex: for
// REG_BINARY), N being the type in hex, so every type and byte size survives.
// A long hex list goes on in indented lines, each line before ending with a
// backslash after its last comma.
//
// Every call reads the file afresh, so a second process sees what another one
// saved. A set rewrites the whole file atomically (temporary file in the same
// folder, write, flush, sync, close, rename) and keeps every other line as it
// was; a line the reader does not understand is kept verbatim and otherwise
// ignored. A damaged file reads as the values it still holds in whole lines; a
// file that is not a regular file, cannot be read or exceeds kMaxRegistryFileSize
// reads as holding nothing, and then sets fail rather than overwrite it.
#pragma once

#include <cstddef>
#include <string>

#include "platform/win_types.h"

using REGSAM = DWORD;
struct SECURITY_ATTRIBUTES;
using LPSECURITY_ATTRIBUTES = SECURITY_ATTRIBUTES*;

/// The root key; the only predefined key there is. Closing it does nothing.
extern PlatformRegKey* const HKEY_CURRENT_USER;

// Result codes.
constexpr LONG ERROR_SUCCESS = 0;
constexpr LONG ERROR_FILE_NOT_FOUND = 2;  // no such key or value
constexpr LONG ERROR_INVALID_HANDLE = 6;
constexpr LONG ERROR_INVALID_PARAMETER = 87;
constexpr LONG ERROR_MORE_DATA = 234;   // the buffer is too small; the size says how much
constexpr LONG ERROR_CANTREAD = 1012;   // the file exists but could not be read
constexpr LONG ERROR_CANTWRITE = 1013;  // the file could not be written

// Value types.
constexpr DWORD REG_NONE = 0;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_EXPAND_SZ = 2;
constexpr DWORD REG_BINARY = 3;
constexpr DWORD REG_DWORD = 4;
constexpr DWORD REG_DWORD_BIG_ENDIAN = 5;
constexpr DWORD REG_LINK = 6;
constexpr DWORD REG_MULTI_SZ = 7;
constexpr DWORD REG_QWORD = 11;

// Access rights and options; accepted and not enforced.
constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
constexpr REGSAM KEY_SET_VALUE = 0x0002;
constexpr REGSAM KEY_READ = 0x20019;
constexpr REGSAM KEY_WRITE = 0x20006;
constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;
constexpr DWORD REG_OPTION_NON_VOLATILE = 0;

// Dispositions reported by RegCreateKeyExW.
constexpr DWORD REG_CREATED_NEW_KEY = 1;
constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

/// Refuses files (on reading) and contents (on writing) larger than this; the
/// program's own settings take a few kilobytes.
constexpr size_t kMaxRegistryFileSize = 4 * 1024 * 1024;

/// Opens an existing key below `key` (null or empty `sub_key`: the same key).
/// ERROR_FILE_NOT_FOUND when neither the key nor any key below it is stored.
LONG RegOpenKeyExW(HKEY key, LPCWSTR sub_key, DWORD options, REGSAM sam, HKEY* result);

/// Reads value `name` (null or empty: the default value). `type` and `size`
/// (bytes) may be null. With null `data` only the type and size are returned;
/// when *size is smaller than the value, *size is set to the value's size,
/// ERROR_MORE_DATA is returned and the buffer holds no valid value.
LONG RegQueryValueExW(HKEY key, LPCWSTR name, DWORD* reserved, DWORD* type, BYTE* data,
                      DWORD* size);

/// Opens `sub_key` below `key`, storing it first when it does not exist yet.
/// `disposition` (may be null) tells which happened.
LONG RegCreateKeyExW(HKEY key, LPCWSTR sub_key, DWORD reserved, LPWSTR key_class, DWORD options,
                     REGSAM sam, LPSECURITY_ATTRIBUTES security, HKEY* result, DWORD* disposition);

/// Stores `size` bytes of `data` as value `name` of type `type` and saves the
/// file. ERROR_CANTWRITE (the file unchanged) when it cannot be saved.
LONG RegSetValueExW(HKEY key, LPCWSTR name, DWORD reserved, DWORD type, const BYTE* data,
                    DWORD size);

/// Releases a key opened or created above.
LONG RegCloseKey(HKEY key);

/// Why the last attempt to save the file failed, as an errno value (EFBIG
/// when it would grow too large); 0 once a save succeeded or before any.
int RegistrySaveError();

/// The host path of the registry file, from the environment at the time of the call.
std::string RegistryFilePath();
