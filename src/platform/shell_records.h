// The handheld shell library's records and flags, with the sizes the device
// gives them: one definition for the platform layer and for the Windows shim
// (win32/handheld_types.h), each of which supplies the basic types first.
#pragma once

#include "platform/win_defs.h"

/// The device's SHMENUBARINFO record is 36 bytes; cbSize must say so.
constexpr DWORD kMenuBarInfoSize = 36;

struct SHMENUBARINFO {
  DWORD cbSize;
  HWND hwndParent;
  DWORD dwFlags;
  UINT nToolBarId;     // the menu bar resource (RT_RCDATA)
  HINSTANCE hInstRes;  // where the bar and its menu are found
  int nBmpId;
  int cBmpImages;
  HWND hwndMB;  // out: the menu bar window (null on the desktop, where the bar is the window's menu)
  COLORREF clrBk;
};

/// The device's SHACTIVATEINFO record is 12 bytes; cbSize must say so.
constexpr DWORD kActivateInfoSize = 12;

struct SHACTIVATEINFO {
  DWORD cbSize;
  HWND hwndLastFocus;
  UINT fSipUp : 1;
  UINT fSipOnDeactivation : 1;
  UINT fActive : 1;
  UINT fReserved : 29;
};

constexpr DWORD SHIDIM_FLAGS = 0x0001;
constexpr DWORD SHIDIF_DONEBUTTON = 0x0001;
constexpr DWORD SHIDIF_SIZEDLG = 0x0002;
constexpr DWORD SHIDIF_SIZEDLGFULLSCREEN = 0x0004;
constexpr DWORD SHIDIF_SIPDOWN = 0x0008;
constexpr DWORD SHIDIF_FULLSCREENNOMENUBAR = 0x0010;
constexpr DWORD SHIDIF_EMPTYMENU = 0x0020;

struct SHINITDLGINFO {
  DWORD dwMask;
  HWND hDlg;
  DWORD dwFlags;
};
