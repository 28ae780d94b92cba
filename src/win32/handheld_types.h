// The handheld API on desktop Windows: the records, constants and calls of the
// handheld's shell library, which desktop Windows does not have, on top of the
// real <windows.h>. The shim's own sources include this header; the shell gets
// it through win32/handheld_api.h, which also points the calls that behave
// differently on the desktop at the shim.
#pragma once

#ifndef UNICODE
#define UNICODE
#endif
#ifndef _UNICODE
#define _UNICODE
#endif
#include <windows.h>
#include <commdlg.h>

#include <cstdint>

// The shell library's records, as the device has them.
#include "platform/shell_records.h"

/// The handheld's "OK in the caption" extended style; the desktop gets an OK
/// button in the dialog instead.
constexpr DWORD WS_EX_CAPTIONOKBTN = 0x80000000;
/// WM_SETTINGCHANGE's first parameter when the handheld's screen changed size.
constexpr WPARAM SETTINGCHANGE_RESET = 0x3002;
constexpr DWORD kMenuItemMissing = 0xFFFFFFFF;

/// Nothing to set up on the desktop. TRUE.
BOOL SHInitExtraControls();

/// Makes the bar `nToolBarId` of the resource tables the window's menu bar:
/// a plain button becomes a command item ("Open file"), a drop-down button a
/// popup ("Tools") built from its menu. The window procedure then sees
/// WM_INITMENUPOPUP for that popup as the handheld sends it: the button's
/// command in the low word of the second parameter (the desktop puts the
/// popup's position there). hwndMB stays null: the bar is part of the window.
/// F1 and F2 press the bar's first and second button, as the soft keys do:
/// a command item sends its command, a popup opens under its item. The
/// window follows its monitor's DPI (WM_DPICHANGED: the size Windows
/// suggests, the log's font remade).
BOOL SHCreateMenuBar(SHMENUBARINFO* info);

/// The desktop has no input panel to follow: both check the record's size
/// and return TRUE. A change of the system's metrics also remakes the log's
/// font and repaints the window.
BOOL SHHandleWMActivate(HWND window, WPARAM wparam, LPARAM lparam, SHACTIVATEINFO* info,
                        DWORD flags);
BOOL SHHandleWMSettingChange(HWND window, WPARAM wparam, LPARAM lparam, SHACTIVATEINFO* info);

/// The desktop's dialogs are not full-screen: centres the dialog on its
/// owner. TRUE for a record with SHIDIM_FLAGS. (Dialog templates are made
/// with the system's message font: see HandheldLoadResource.)
BOOL SHInitDialog(SHINITDLGINFO* info);

// The handheld's open-file record: the wide texts are UTF-16 as the shell
// keeps them, and the record is 76 bytes on the device.
constexpr DWORD kOpenFileNameSize = 76;
struct HandheldOpenFileName {
  DWORD lStructSize;
  HWND hwndOwner;
  HINSTANCE hInstance;
  const char16_t* lpstrFilter;
  char16_t* lpstrCustomFilter;
  DWORD nMaxCustFilter;
  DWORD nFilterIndex;
  char16_t* lpstrFile;
  DWORD nMaxFile;
  char16_t* lpstrFileTitle;
  DWORD nMaxFileTitle;
  const char16_t* lpstrInitialDir;
  const char16_t* lpstrTitle;
  DWORD Flags;
  WORD nFileOffset;
  WORD nFileExtension;
  const char16_t* lpstrDefExt;
  LPARAM lCustData;
  void* lpfnHook;
  const char16_t* lpTemplateName;
};

/// GetOpenFileNameW for the handheld record: 0 unless lStructSize is the
/// device's 76. The desktop call gets sizeof(OPENFILENAMEW) and
/// OFN_NOCHANGEDIR (the desktop moves the current folder otherwise, and
/// relative input paths would then name other files). A device path in the
/// file buffer opens the dialog in its folder under the device root; a file
/// chosen under the root comes back as a device path. The types read
/// "GPX files (*.gpx)" and end with "All files (*.*)"; a file chosen under
/// All files gets the kind of its extension (win32/desktop_look.h).
BOOL HandheldGetOpenFileNameW(HandheldOpenFileName* record);

/// GetSaveFileNameW for the handheld record, as HandheldGetOpenFileNameW.
/// The desktop's OFN_OVERWRITEPROMPT asks before replacing any existing
/// file, a track file too (lCustData, the size replaced without asking on
/// the handheld's own dialog, is not used).
BOOL HandheldGetSaveFileNameW(HandheldOpenFileName* record);

/// The errno-style reason of the last failed settings save: always 0 here,
/// where the real registry's calls return their own error codes and the
/// shell falls back to EIO.
inline int RegistrySaveError() { return 0; }

// The command line as the handheld hands it over: the arguments only, as
// main stored them after taking its own options (the desktop's
// GetCommandLineW starts with the program's path).
char16_t* HandheldGetCommandLineW();
void SetCommandLine(const char16_t* text);

/// SetForegroundWindow for the handheld's idiom: the lowest bit of the handle
/// set (raise with its dialogs) is stripped, which the desktop would refuse;
/// a minimised window is restored first.
BOOL HandheldSetForegroundWindow(HWND window);

/// CreateWindowExW: the handheld's top-level windows fill the screen with no
/// frame; on the desktop a top-level window of style WS_VISIBLE alone gets a
/// normal frame (caption, system menu, sizing border, minimise and maximise).
HWND HandheldCreateWindowExW(DWORD ex_style, LPCWSTR class_name, LPCWSTR title, DWORD style, int x,
                             int y, int width, int height, HWND parent, HMENU menu,
                             HINSTANCE instance, void* param);

// Resources: the in-memory tables of resources/wayconv_resources.cpp are the
// one source of truth on every host; these read them and build the real
// objects (an accelerator table, a dialog template). The instance handle is
// not looked at: the tables belong to the program.
int HandheldLoadStringW(HINSTANCE instance, UINT id, LPWSTR buffer, int buffer_size);
HICON HandheldLoadIconW(HINSTANCE instance, LPCWSTR name);
HACCEL HandheldLoadAcceleratorsW(HINSTANCE instance, LPCWSTR name);
HRSRC HandheldFindResourceW(HINSTANCE instance, LPCWSTR name, LPCWSTR type);
/// For a dialog: a DLGTEMPLATE built from the table, in the system's message
/// font, with an OK button added where the handheld shows OK in the caption.
/// Lives until the program ends.
HGLOBAL HandheldLoadResource(HINSTANCE instance, HRSRC resource);

// Wide texts: the shell keeps UTF-16 as char16_t, the desktop calls take
// wchar_t, which is the same 16-bit unit on Windows.
inline const wchar_t* DesktopText(const char16_t* text) {
  return reinterpret_cast<const wchar_t*>(text);
}
inline wchar_t* DesktopText(char16_t* text) { return reinterpret_cast<wchar_t*>(text); }

/// DrawTextW for the shell's log, as a desktop program shows it: in the
/// system's message font at the window's DPI, inside a margin, the "&" of a
/// name shown as it is (win32/desktop_look.cpp).
int DrawTextW(HDC dc, const char16_t* text, int count, RECT* rect, UINT format);

// The registry calls with UTF-16 names. REGSAM is ignored on the handheld, and
// the shell passes 0 when it creates its key; the desktop would then give a
// key that cannot be written, so 0 asks for reading and writing.
inline LONG RegOpenKeyExW(HKEY key, const char16_t* sub_key, DWORD options, REGSAM sam,
                          HKEY* result) {
  return RegOpenKeyExW(key, DesktopText(sub_key), options, sam, result);
}
inline LONG RegQueryValueExW(HKEY key, const char16_t* name, DWORD* reserved, DWORD* type,
                             BYTE* data, DWORD* size) {
  return RegQueryValueExW(key, DesktopText(name), reserved, type, data, size);
}
inline LONG RegCreateKeyExW(HKEY key, const char16_t* sub_key, DWORD reserved, LPWSTR key_class,
                            DWORD options, REGSAM sam, LPSECURITY_ATTRIBUTES security,
                            HKEY* result, DWORD* disposition) {
  if (sam == 0) sam = KEY_READ | KEY_WRITE;
  return RegCreateKeyExW(key, DesktopText(sub_key), reserved, key_class, options, sam, security,
                         result, disposition);
}
inline LONG RegSetValueExW(HKEY key, const char16_t* name, DWORD reserved, DWORD type,
                           const BYTE* data, DWORD size) {
  return RegSetValueExW(key, DesktopText(name), reserved, type, data, size);
}
