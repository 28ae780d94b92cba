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

#include "platform/win_defs.h"

/// An integer resource id or type in the place of a name.
inline LPCWSTR MAKEINTRESOURCEW(WORD id) {
  return reinterpret_cast<LPCWSTR>(static_cast<uintptr_t>(id));
}
inline bool IS_INTRESOURCE(LPCWSTR name) {
  return (reinterpret_cast<uintptr_t>(name) >> 16) == 0;
}

constexpr WORD kRtMenu = 4;
constexpr WORD kRtDialog = 5;
constexpr WORD kRtString = 6;
constexpr WORD kRtAccelerator = 9;
constexpr WORD kRtRcData = 10;
constexpr WORD kRtGroupIcon = 14;
inline LPCWSTR const RT_DIALOG = MAKEINTRESOURCEW(kRtDialog);
inline LPCWSTR const RT_RCDATA = MAKEINTRESOURCEW(kRtRcData);

struct StringResource {
  const char16_t* text;
};

struct MenuItemTemplate {
  const char16_t* text;  // null for a separator
  UINT id;
  UINT flags;  // MF_SEPARATOR, MF_CHECKED
};

struct PopupTemplate {
  const char16_t* text;
  const MenuItemTemplate* items;
  int count;
};

struct MenuTemplate {
  const PopupTemplate* popups;
  int count;
};

constexpr int I_IMAGENONE = -2;
constexpr BYTE TBSTATE_ENABLED = 0x04;
constexpr BYTE TBSTYLE_BUTTON = 0x00;
constexpr BYTE TBSTYLE_DROPDOWN = 0x08;
constexpr BYTE TBSTYLE_AUTOSIZE = 0x10;
constexpr WORD NOMENU = 0xFFFF;

struct MenuBarButtonTemplate {
  int image;       // I_IMAGENONE: text only
  UINT command;    // sent to the owner, or the popup's WM_INITMENUPOPUP id
  BYTE state;      // TBSTATE_*
  BYTE style;      // TBSTYLE_*
  UINT string_id;  // the button's text
  WORD popup;      // index of the popup in the bar's menu, or NOMENU
};

struct MenuBarTemplate {
  UINT menu_id;
  const MenuBarButtonTemplate* buttons;
  int count;
};

struct AcceleratorTable {
  const ACCEL* entries;
  int count;
};

struct DialogItemTemplate {
  UINT id;
  const char16_t* text;
  DWORD style;
  short x, y, cx, cy;  // dialog units
};

/// A dialog template. Dialog units map to cells as 4 across and 8 down.
struct DialogTemplate {
  DWORD style;
  DWORD ex_style;
  short x, y, cx, cy;
  const char16_t* caption;
  const char16_t* font;
  WORD point_size;
  const DialogItemTemplate* items;
  int count;
};

struct IconImage {
  int width;
  int height;
  int colours;
};

struct IconResource {
  const IconImage* images;
  int count;
};

struct ResourceEntry {
  WORD type;                  // kRt* when type_name is null
  const char16_t* type_name;  // a named type, or null
  WORD id;
  WORD language;
  const void* data;
};

struct ResourceDirectory {
  const ResourceEntry* entries;
  int count;
};

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
