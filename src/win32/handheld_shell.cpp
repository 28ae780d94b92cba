// The handheld shell library on the desktop: the menu bar as the window's
// real menu bar, and the activation, settings and dialog calls, which have
// nothing to do where there is no input panel and no full-screen dialog.
#define WAYCONV_HANDHELD_SHIM
#include "win32/desktop_look.h"
#include "win32/handheld_internal.h"

namespace {

// The popups of the menu bar and the commands of their buttons, which the
// handheld hands the window procedure with WM_INITMENUPOPUP.
struct BarPopup {
  HMENU menu;
  UINT command;
};
constexpr int kMaxBarPopups = 8;
BarPopup g_popups[kMaxBarPopups];
int g_popup_count = 0;
// The bar's first two items, which F1 and F2 press: a command, or a popup.
struct SoftKey {
  UINT command;  // for a command item
  HMENU popup;   // for a popup
  UINT position;
};
constexpr int kSoftKeys = 2;
SoftKey g_soft_keys[kSoftKeys];
int g_soft_key_count = 0;
HWND g_bar_window = nullptr;
WNDPROC g_window_procedure = nullptr;

// Stands before the window procedure of the menu bar's window.
// A soft key: the command item's command, or its popup opened under its item
// (the popup sends WM_INITMENUPOPUP and the chosen command as a click would).
void PressSoftKey(HWND window, int index) {
  if (index >= g_soft_key_count) return;
  const SoftKey& key = g_soft_keys[index];
  if (key.popup == nullptr) {
    PostMessageW(window, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(key.command), 0), 0);
    return;
  }
  RECT item;
  if (!GetMenuItemRect(window, GetMenu(window), key.position, &item)) return;
  HiliteMenuItem(window, GetMenu(window), key.position, MF_BYPOSITION | MF_HILITE);
  TrackPopupMenu(key.popup, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_LEFTBUTTON, item.left, item.bottom,
                 0, window, nullptr);
  HiliteMenuItem(window, GetMenu(window), key.position, MF_BYPOSITION | MF_UNHILITE);
}

LRESULT CALLBACK MenuBarWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_KEYDOWN && (wparam == VK_F1 || wparam == VK_F2)) {
    PressSoftKey(window, wparam == VK_F1 ? 0 : 1);
    return 0;
  }
  if (message == WM_DPICHANGED) {
    // Windows suggests the size at the new DPI; the log's font follows.
    const RECT* suggested = reinterpret_cast<const RECT*>(lparam);
    SetWindowPos(window, nullptr, suggested->left, suggested->top,
                 suggested->right - suggested->left, suggested->bottom - suggested->top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    InvalidateRect(window, nullptr, TRUE);
    return 0;
  }
  if (message == WM_INITMENUPOPUP && HIWORD(lparam) == 0) {
    for (int i = 0; i < g_popup_count; ++i) {
      if (reinterpret_cast<HMENU>(wparam) == g_popups[i].menu) {
        lparam = MAKELPARAM(g_popups[i].command, 0);
      }
    }
  }
  WNDPROC procedure = g_window_procedure;
  if (message == WM_NCDESTROY) {
    // The window goes, and its menu with it: the next window may have a bar.
    g_bar_window = nullptr;
    g_popup_count = 0;
    g_soft_key_count = 0;
  }
  return CallWindowProcW(procedure, window, message, wparam, lparam);
}

}  // namespace

BOOL SHInitExtraControls() { return TRUE; }

BOOL SHCreateMenuBar(SHMENUBARINFO* info) {
  if (info == nullptr || info->cbSize != kMenuBarInfoSize || info->hwndParent == nullptr ||
      info->nToolBarId > 0xFFFF || g_bar_window != nullptr) {
    return FALSE;
  }
  const ResourceEntry* bar_entry = FindResourceEntry(kRtRcData, static_cast<WORD>(info->nToolBarId));
  if (bar_entry == nullptr) return FALSE;
  const auto* bar = static_cast<const MenuBarTemplate*>(bar_entry->data);
  const ResourceEntry* menu_entry = FindResourceEntry(kRtMenu, static_cast<WORD>(bar->menu_id));
  const auto* menu = menu_entry == nullptr ? nullptr
                                           : static_cast<const MenuTemplate*>(menu_entry->data);
  HMENU bar_menu = CreateMenu();
  if (bar_menu == nullptr) return FALSE;
  g_popup_count = 0;
  g_soft_key_count = 0;
  for (int i = 0; i < bar->count; ++i) {
    const MenuBarButtonTemplate& button = bar->buttons[i];
    const char16_t* text = ResourceString(button.string_id);
    if (text == nullptr) text = u"";
    auto position = static_cast<UINT>(GetMenuItemCount(bar_menu));
    if (button.popup == NOMENU || menu == nullptr || button.popup >= menu->count) {
      AppendMenuW(bar_menu, MF_STRING, button.command, DesktopText(text));
      if (g_soft_key_count < kSoftKeys) {
        g_soft_keys[g_soft_key_count++] = {button.command, nullptr, position};
      }
      continue;
    }
    HMENU popup = BuildPopupMenu(menu->popups[button.popup]);
    if (popup == nullptr) continue;
    AppendMenuW(bar_menu, MF_POPUP, reinterpret_cast<UINT_PTR>(popup), DesktopText(text));
    if (g_popup_count < kMaxBarPopups) g_popups[g_popup_count++] = {popup, button.command};
    if (g_soft_key_count < kSoftKeys) g_soft_keys[g_soft_key_count++] = {0, popup, position};
  }
  if (!SetMenu(info->hwndParent, bar_menu)) {
    DestroyMenu(bar_menu);
    g_popup_count = 0;
    g_soft_key_count = 0;
    return FALSE;
  }
  g_bar_window = info->hwndParent;
  g_window_procedure = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
      info->hwndParent, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(MenuBarWindowProc)));
  info->hwndMB = nullptr;
  return TRUE;
}

BOOL SHHandleWMActivate(HWND, WPARAM, LPARAM, SHACTIVATEINFO* info, DWORD) {
  return info != nullptr && info->cbSize == kActivateInfoSize;
}

BOOL SHHandleWMSettingChange(HWND window, WPARAM wparam, LPARAM, SHACTIVATEINFO* info) {
  if (wparam == SPI_SETNONCLIENTMETRICS) {
    ForgetMessageFont();
    if (window != nullptr) InvalidateRect(window, nullptr, TRUE);
  }
  return info != nullptr && info->cbSize == kActivateInfoSize;
}

BOOL SHInitDialog(SHINITDLGINFO* info) {
  if (info == nullptr || info->hDlg == nullptr || (info->dwMask & SHIDIM_FLAGS) == 0) return FALSE;
  HWND owner = GetWindow(info->hDlg, GW_OWNER);
  RECT dialog;
  RECT around;
  if (owner == nullptr || !GetWindowRect(owner, &around)) {
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &around, 0);
  }
  GetWindowRect(info->hDlg, &dialog);
  int width = dialog.right - dialog.left;
  int height = dialog.bottom - dialog.top;
  SetWindowPos(info->hDlg, nullptr, around.left + (around.right - around.left - width) / 2,
               around.top + (around.bottom - around.top - height) / 2, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  return TRUE;
}
