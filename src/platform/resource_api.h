// Resources: the tables a program's resource module fills, and the functions
// that find them through the instance handle.
//
// An instance carries a resource directory. Each entry has a type (a number,
// or a name such as "CEUX"), an id, the language tag, and a pointer to the
// record of its type:
//   RT_STRING       StringResource     RT_MENU   MenuTemplate
//   RT_RCDATA       MenuBarTemplate    RT_DIALOG DialogTemplate
//   RT_ACCELERATOR  AcceleratorTable   RT_GROUP_ICON IconResource
//   "CEUX"          a DWORD flag (id 1: high-resolution aware)
#pragma once

#include "platform/resource_tables.h"
#include "platform/win_defs.h"

/// An integer resource id or type in the place of a name.
inline LPCWSTR MAKEINTRESOURCEW(WORD id) {
  return reinterpret_cast<LPCWSTR>(static_cast<uintptr_t>(id));
}
inline bool IS_INTRESOURCE(LPCWSTR name) {
  return (reinterpret_cast<uintptr_t>(name) >> 16) == 0;
}

inline LPCWSTR const RT_DIALOG = MAKEINTRESOURCEW(kRtDialog);
inline LPCWSTR const RT_RCDATA = MAKEINTRESOURCEW(kRtRcData);

/// What HINSTANCE points at.
struct PlatformInstance {
  const ResourceDirectory* resources;
};

/// The entry of that type and id, or null. Types are matched by number or,
/// for a named type, by name.
HRSRC FindResourceW(HINSTANCE instance, LPCWSTR name, LPCWSTR type);
HGLOBAL LoadResource(HINSTANCE instance, HRSRC resource);

/// Copies string `id` into `buffer` (cut to fit, always terminated). Returns
/// the characters copied, 0 when there is no such string.
int LoadStringW(HINSTANCE instance, UINT id, LPWSTR buffer, int buffer_size);
HICON LoadIconW(HINSTANCE instance, LPCWSTR name);
HACCEL LoadAcceleratorsW(HINSTANCE instance, LPCWSTR name);

/// When `message` is a key press that matches an entry of the table (key and
/// modifiers), sends WM_COMMAND (the entry's command, high word 1) to `window`
/// and returns nonzero.
int TranslateAcceleratorW(HWND window, HACCEL table, MSG* message);
