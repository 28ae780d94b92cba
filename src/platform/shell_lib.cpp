// The rest of the handheld shell library: activation, screen changes and the
// set-up of full-screen dialogs.
#include "platform/shell_api.h"
#include "platform/window_api.h"
#include "platform/window_internal.h"

BOOL SHInitExtraControls() {
  return TRUE;
}

BOOL SHHandleWMActivate(HWND window, WPARAM wparam, LPARAM /*lparam*/, SHACTIVATEINFO* info,
                        DWORD /*flags*/) {
  if (info == nullptr || info->cbSize != kActivateInfoSize) return FALSE;
  // There is no input panel here; only the activation itself is kept.
  info->fActive = LOWORD(wparam) != WA_INACTIVE ? 1 : 0;
  if (!info->fActive) info->hwndLastFocus = window;
  return TRUE;
}

BOOL SHHandleWMSettingChange(HWND window, WPARAM wparam, LPARAM /*lparam*/, SHACTIVATEINFO* info) {
  if (info == nullptr || info->cbSize != kActivateInfoSize) return FALSE;
  PlatformWindow* w = LiveWindow(window);
  if (w == nullptr) return FALSE;
  if (wparam == SETTINGCHANGE_RESET) {
    RECT area = WorkArea();
    if (MenuBarOf(window) != nullptr) area.bottom -= 1;
    MoveWindow(window, area.left, area.top, area.right - area.left, area.bottom - area.top, TRUE);
  }
  return TRUE;
}

BOOL SHInitDialog(SHINITDLGINFO* info) {
  if (info == nullptr) return FALSE;
  PlatformWindow* w = LiveWindow(info->hDlg);
  if (w == nullptr || w->kind != kWindowDialog) return FALSE;
  if (!(info->dwMask & SHIDIM_FLAGS)) return TRUE;
  w->dialog.shell_flags = info->dwFlags;
  if (info->dwFlags & (SHIDIF_SIZEDLGFULLSCREEN | SHIDIF_SIZEDLG)) {
    // The work area above the menu bar row.
    RECT area = WorkArea();
    MoveWindow(info->hDlg, area.left, area.top, area.right - area.left, area.bottom - area.top - 1,
               TRUE);
  }
  MarkScreenChanged();
  return TRUE;
}
