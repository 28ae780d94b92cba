// The popup menu's geometry and keys, shared by every backend that draws our
// own popup.
#include "platform/popup_model.h"

#include "host/text.h"

namespace {

// Items are short ASCII texts; a character is a cell.
int TextCells(const char16_t* text) {
  return static_cast<int>(WideLength(text));
}

}  // namespace

PopupBox PopupGeometry(const MenuView* menu, int columns, int rows, int bar_row) {
  int longest = 0;
  for (int i = 0; i < menu->count; ++i) {
    if (menu->items[i].text != nullptr && TextCells(menu->items[i].text) > longest) {
      longest = TextCells(menu->items[i].text);
    }
  }
  int width = longest + 6;  // border, blank, check mark, blank, text, blank, border
  int height = menu->count + 2;
  int bottom = (bar_row >= 0 ? bar_row : rows) - 1;
  int top = bottom - height + 1 > 1 ? bottom - height + 1 : 1;
  int left = columns - width > 0 ? columns - width : 0;
  return PopupBox{top, left, width, height};
}

int NextChoosable(const MenuView* menu, int from, int step) {
  for (int i = 1; i <= menu->count; ++i) {
    int at = ((from + step * i) % menu->count + menu->count) % menu->count;
    if (menu->items[at].text != nullptr) return at;
  }
  return from;
}

PopupModel StartPopup(const MenuView* menu) {
  int selected = menu->count > 0 ? NextChoosable(menu, menu->count - 1, 1) : 0;
  return PopupModel{menu, selected};
}

int PopupHandle(PopupModel* popup, const InputEvent& event, int columns, int rows, int bar_row) {
  const MenuView* menu = popup->menu;
  if (event.kind == kEventClose || event.kind == kEventEnd) return 0;
  if (event.kind == kEventKey) {
    const MenuItemView& selected = menu->items[popup->selected];
    switch (event.key) {
      case VK_RETURN: return selected.text != nullptr ? static_cast<int>(selected.id) : 0;
      case VK_ESCAPE:
      case VK_F1:
      case VK_F2: return 0;
      case VK_UP:
      case VK_DOWN:
        popup->selected = NextChoosable(menu, popup->selected, event.key == VK_UP ? -1 : 1);
        return -1;
      default: return -1;
    }
  }
  // The wheel moves the selection as the arrows do, on every backend.
  if (event.kind == kEventWheel) {
    popup->selected = NextChoosable(menu, popup->selected, event.key < 0 ? -1 : 1);
    return -1;
  }
  if (event.kind == kEventClick) {
    PopupBox box = PopupGeometry(menu, columns, rows, bar_row);
    int item = event.row - box.top - 1;
    bool inside = event.column >= box.left && event.column < box.left + box.width &&
                  event.row >= box.top && event.row < box.top + box.height;
    if (!inside) return 0;
    if (item >= 0 && item < menu->count && menu->items[item].text != nullptr) {
      return static_cast<int>(menu->items[item].id);
    }
  }
  return -1;
}
