// The records of a program's resource tables: strings, menus, the menu bar,
// accelerators, dialogs and icons, as constant data. Every host reads the
// same tables: the platform layer through the instance handle
// (platform/resource_api.h), the Windows build through its shim.
#pragma once

#include "platform/win_defs.h"

constexpr WORD kRtMenu = 4;
constexpr WORD kRtDialog = 5;
constexpr WORD kRtString = 6;
constexpr WORD kRtAccelerator = 9;
constexpr WORD kRtRcData = 10;
constexpr WORD kRtGroupIcon = 14;

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
