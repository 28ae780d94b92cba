// Modal dialogs and the common open-file dialog.
#pragma once

#include "platform/resource_api.h"
#include "platform/win_defs.h"

using DLGPROC = INT_PTR (*)(HWND, UINT, WPARAM, LPARAM);
using LPCDLGTEMPLATEW = const DialogTemplate*;

/// Shows the dialog modally over `owner`: sends WM_INITDIALOG (second
/// parameter `param`), then hands the dialog procedure the user's actions (OK
/// as WM_COMMAND IDOK, closing as WM_CLOSE) until it calls EndDialog. Returns
/// the value given to EndDialog, or -1 when the dialog cannot be shown.
/// Messages posted meanwhile wait in the queue until the dialog has ended.
INT_PTR DialogBoxIndirectParamW(HINSTANCE instance, LPCDLGTEMPLATEW dialog_template, HWND owner,
                                DLGPROC procedure, LPARAM param);
BOOL EndDialog(HWND dialog, INT_PTR result);

constexpr DWORD OFN_OVERWRITEPROMPT = 0x00000002;
constexpr DWORD OFN_ALLOWMULTISELECT = 0x00000200;
constexpr DWORD OFN_EXPLORER = 0x00080000;
constexpr DWORD OFN_PATHMUSTEXIST = 0x00000800;
constexpr DWORD OFN_FILEMUSTEXIST = 0x00001000;

/// The device's OPENFILENAME record is 76 bytes; lStructSize must say so.
constexpr DWORD kOpenFileNameSize = 76;

struct OPENFILENAMEW {
  DWORD lStructSize;
  HWND hwndOwner;
  HINSTANCE hInstance;
  LPCWSTR lpstrFilter;  // pairs of name and pattern, ended by an empty name
  LPWSTR lpstrCustomFilter;
  DWORD nMaxCustFilter;
  DWORD nFilterIndex;  // 1-based, in and out
  LPWSTR lpstrFile;    // the initial name in, the chosen path out
  DWORD nMaxFile;      // characters of lpstrFile, terminator included
  LPWSTR lpstrFileTitle;
  DWORD nMaxFileTitle;
  LPCWSTR lpstrInitialDir;
  LPCWSTR lpstrTitle;
  DWORD Flags;
  WORD nFileOffset;
  WORD nFileExtension;
  LPCWSTR lpstrDefExt;
  LPARAM lCustData;
  void* lpfnHook;
  LPCWSTR lpTemplateName;
};

/// Lets the user choose a file. Returns 1 with the path in lpstrFile and the
/// filter the user ended on in nFilterIndex; 0 when cancelled, when the record
/// size is not 76, or when the chosen path does not fit nMaxFile. With
/// OFN_FILEMUSTEXIST only an existing file, with OFN_PATHMUSTEXIST only a file
/// in an existing folder is accepted (a device path's folders are made when
/// the file is written, so any will do). The buffer is untouched unless 1 is
/// returned. With OFN_ALLOWMULTISELECT several files may be marked and
/// chosen together: lpstrFile then holds their folder, a zero, each name
/// followed by a zero, and one more zero (nFileOffset is where the first name
/// starts, just after the folder's zero); one file comes back as a path, as
/// without the flag. While the program runs, a dialog started with an empty buffer
/// opens in the folder the same dialog (same title and filters) was last
/// left in.
BOOL GetOpenFileNameW(OPENFILENAMEW* record);

/// The same dialog for a file to write: titled lpstrTitle (else "Save as"),
/// "choose" on its key hint, and a new name may be chosen. With
/// OFN_OVERWRITEPROMPT an existing file is only given back once the user
/// agreed to replace it, unless it is a regular file of exactly lCustData
/// bytes (lCustData > 0): the program's own kind of file, replaced as always.
BOOL GetSaveFileNameW(OPENFILENAMEW* record);
