// The popup menu's model: where it stands on the screen, which item is
// selected, and what a key or a click does to it. DrawScreen draws it;
// RunOwnPopup runs it on the backend's input.
#pragma once

#include "platform/backend.h"

struct PopupBox {
  int top;
  int left;
  int width;
  int height;
};

struct PopupModel {
  const MenuView* menu;
  int selected;  // the highlighted item
};

/// Above the right soft key (the bar row, or the screen's bottom when
/// bar_row is -1); pushed down to the row under the title when the screen is
/// too low, cut at the screen's bottom by whoever draws it.
PopupBox PopupGeometry(const MenuView* menu, int columns, int rows, int bar_row);

/// The next item that can be chosen from `from` in `step` direction, round
/// the end; `from` itself when there is no other.
int NextChoosable(const MenuView* menu, int from, int step);

/// A fresh popup: the first item that can be chosen is selected.
PopupModel StartPopup(const MenuView* menu);

/// What an event does: -1 the popup stays, 0 it closes with nothing chosen,
/// else the chosen item's id. A resize is the caller's.
int PopupHandle(PopupModel* popup, const InputEvent& event, int columns, int rows, int bar_row);
