// The menu bar: two soft keys at the bottom row, the popup of a drop-down
// button, and the check marks of its items.
#include "platform/shell_api.h"
#include "platform/window_api.h"
#include "platform/window_internal.h"

namespace {

bool IsItem(const PlatformMenu& menu, UINT id) {
  for (int i = 0; i < menu.count; ++i) {
    if (menu.items[i].text != nullptr && menu.items[i].id == id) return true;
  }
  return false;
}

// A soft key: a plain button posts its command to the owner; a drop-down
// button lets the owner prepare its popup, shows it, and posts the choice.
void PressButton(HWND bar_window, int index) {
  PlatformWindow* bar = LiveWindow(bar_window);
  if (bar == nullptr || index >= bar->bar.button_count) return;
  const MenuBarButton& button = bar->bar.buttons[index];
  HWND owner = bar->parent;
  if (!(button.state & TBSTATE_ENABLED)) return;
  if (!(button.style & TBSTYLE_DROPDOWN) || button.popup >= bar->bar.popup_count) {
    PostMessageW(owner, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(button.command), 0), 0);
    return;
  }
  PlatformMenu* popup = &bar->bar.popups[button.popup];
  SendMessageW(owner, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(popup),
               MAKELPARAM(static_cast<WORD>(button.command), 0));
  MenuView view = {popup->items, popup->count};
  PopupModel model = StartPopup(&view);
  ShowPopup(&model);
  PresentIfChanged();
  int chosen = RunOwnPopup(&view);
  ShowPopup(nullptr);
  if (chosen > 0 && IsItem(*popup, static_cast<UINT>(chosen))) {
    PostMessageW(owner, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(chosen), 0), 0);
  }
}

LRESULT MenuBarProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_KEYDOWN && (wparam == VK_F1 || wparam == VK_F2)) {
    PressButton(window, wparam == VK_F1 ? 0 : 1);
    return 0;
  }
  if (message == WM_LBUTTONUP) {
    PlatformWindow* w = LiveWindow(window);
    LONG width = w->rect.right - w->rect.left;
    PressButton(window, LOWORD(static_cast<uintptr_t>(lparam)) < width / 2 ? 0 : 1);
    return 0;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

void LoadPopup(const PopupTemplate& source, PlatformMenu* menu) {
  menu->count = source.count < kMaxMenuItems ? source.count : kMaxMenuItems;
  for (int i = 0; i < menu->count; ++i) {
    const MenuItemTemplate& item = source.items[i];
    bool separator = (item.flags & MF_SEPARATOR) != 0 || item.text == nullptr;
    menu->items[i] = MenuItemView{separator ? nullptr : item.text, separator ? 0 : item.id,
                                  (item.flags & MF_CHECKED) != 0};
  }
}

}  // namespace

BOOL SHCreateMenuBar(SHMENUBARINFO* info) {
  if (info == nullptr || info->cbSize != kMenuBarInfoSize) return FALSE;
  info->hwndMB = nullptr;
  if (LiveWindow(info->hwndParent) == nullptr || MenuBarOf(info->hwndParent) != nullptr) {
    return FALSE;
  }
  HRSRC found = FindResourceW(info->hInstRes, MAKEINTRESOURCEW(static_cast<WORD>(info->nToolBarId)),
                              RT_RCDATA);
  auto layout = static_cast<const MenuBarTemplate*>(LoadResource(info->hInstRes, found));
  if (layout == nullptr) return FALSE;
  HRSRC menu_found =
      FindResourceW(info->hInstRes, MAKEINTRESOURCEW(static_cast<WORD>(layout->menu_id)),
                    MAKEINTRESOURCEW(kRtMenu));
  auto menu = static_cast<const MenuTemplate*>(LoadResource(info->hInstRes, menu_found));

  RECT area = WorkArea();
  RECT rect = {0, area.bottom - 1, area.right, area.bottom};
  HWND bar_window = CreateInternalWindow(kWindowBar, info->hwndParent, rect, u"", MenuBarProc);
  MenuBarData& bar = LiveWindow(bar_window)->bar;
  if (menu != nullptr) {
    bar.popup_count = menu->count < kMaxBarPopups ? menu->count : kMaxBarPopups;
    for (int i = 0; i < bar.popup_count; ++i) LoadPopup(menu->popups[i], &bar.popups[i]);
  }
  bar.button_count = layout->count < kMaxBarButtons ? layout->count : kMaxBarButtons;
  for (int i = 0; i < bar.button_count; ++i) {
    const MenuBarButtonTemplate& source = layout->buttons[i];
    MenuBarButton& button = bar.buttons[i];
    LoadStringW(info->hInstRes, source.string_id, button.text, kMaxButtonText);
    button.command = source.command;
    button.state = source.state;
    button.style = source.style;
    button.popup = source.popup;
  }
  info->hwndMB = bar_window;
  return TRUE;
}

DWORD CheckMenuItem(HMENU menu, UINT item, UINT flags) {
  // Only the popups of live menu bars are menus here.
  bool known = false;
  ForEachWindow([&](PlatformWindow* w) {
    for (int i = 0; i < w->bar.popup_count; ++i) known = known || &w->bar.popups[i] == menu;
  });
  if (!known) return kMenuItemMissing;
  MenuItemView* target = nullptr;
  if (flags & MF_BYPOSITION) {
    if (item < static_cast<UINT>(menu->count)) target = &menu->items[item];
  } else {
    for (int i = 0; i < menu->count; ++i) {
      if (menu->items[i].text != nullptr && menu->items[i].id == item) target = &menu->items[i];
    }
  }
  if (target == nullptr) return kMenuItemMissing;
  DWORD previous = target->checked ? MF_CHECKED : MF_UNCHECKED;
  target->checked = (flags & MF_CHECKED) != 0;
  MarkScreenChanged();
  return previous;
}
