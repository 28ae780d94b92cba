// The handheld shell library: the menu bar with its two soft keys, activation
// and screen-change handling, and full-screen dialog set-up.
#pragma once

#include "platform/shell_records.h"
#include "platform/win_defs.h"

BOOL SHInitExtraControls();

/// Builds the menu bar `nToolBarId` at the bottom row for `hwndParent`: its
/// buttons are soft keys (F1 the left, F2 the right, or a click). A plain
/// button sends WM_COMMAND with its command to the parent; a drop-down button
/// sends WM_INITMENUPOPUP (the popup, its command in the low word of the second
/// parameter), shows the popup and sends the chosen item's WM_COMMAND.
BOOL SHCreateMenuBar(SHMENUBARINFO* info);

/// Sets or clears the check mark of an item, by command (MF_BYCOMMAND) or by
/// position. Returns the previous state (MF_CHECKED or MF_UNCHECKED) or
/// kMenuItemMissing.
DWORD CheckMenuItem(HMENU menu, UINT item, UINT flags);

/// Keeps the activation state in `info`. Returns FALSE for a record whose size
/// is not 12.
BOOL SHHandleWMActivate(HWND window, WPARAM wparam, LPARAM lparam, SHACTIVATEINFO* info,
                        DWORD flags);

/// On SETTINGCHANGE_RESET (the screen changed size) fits the window to the work
/// area above its menu bar again. Returns FALSE for a bad record.
BOOL SHHandleWMSettingChange(HWND window, WPARAM wparam, LPARAM lparam, SHACTIVATEINFO* info);

/// With SHIDIM_FLAGS: SHIDIF_DONEBUTTON puts OK in the caption,
/// SHIDIF_SIZEDLGFULLSCREEN sizes the dialog to the whole work area and
/// SHIDIF_EMPTYMENU shows an empty menu bar under it.
BOOL SHInitDialog(SHINITDLGINFO* info);
