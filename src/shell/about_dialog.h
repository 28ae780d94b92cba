// The About dialog (resource 105): full screen, OK in the caption.
#pragma once

#include "platform/windows.h"

/// The shell flags of the About dialog: Done button, full screen, input panel
/// down, empty menu bar.
constexpr DWORD kAboutDialogFlags =
    SHIDIF_DONEBUTTON | SHIDIF_SIZEDLGFULLSCREEN | SHIDIF_SIPDOWN | SHIDIF_EMPTYMENU;
static_assert(kAboutDialogFlags == 0x2D);

INT_PTR AboutDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);

/// Shows the About dialog modally over `owner`.
void ShowAboutDialog(HWND owner);
