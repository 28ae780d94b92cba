// The popup's model: where it stands and what keys and clicks choose. Every
// backend that draws our popup runs it, so the terminal and the headless
// screen agree by construction.
#include "platform/popup_model.h"

#include <vector>

#include "test_util.h"

namespace {

const MenuItemView kItems[] = {
    {u"Set output file", 10, 0}, {nullptr, 0, 0}, {u"Break", 11, 1}, {nullptr, 0, 0}, {u"Exit", 12, 0},
};
const MenuView kMenu = {kItems, 5};

TEST(PopupModelTest, Geometry) {
  struct {
    int columns, rows, bar_row;
    PopupBox box;
  } cases[] = {
      {60, 24, 23, {16, 39, 21, 7}},  // above the bar, at the right edge
      {60, 24, -1, {17, 39, 21, 7}},  // no bar: above the screen's bottom
      {60, 6, 5, {1, 39, 21, 7}},     // too low: pushed under the title row
      {15, 24, 23, {16, 0, 21, 7}},   // too narrow: from the left edge
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.columns << "x" << c.rows << " bar " << c.bar_row);
    PopupBox box = PopupGeometry(&kMenu, c.columns, c.rows, c.bar_row);
    EXPECT_EQ(box.top, c.box.top);
    EXPECT_EQ(box.left, c.box.left);
    EXPECT_EQ(box.width, c.box.width);
    EXPECT_EQ(box.height, c.box.height);
  }
}

InputEvent Key(int key) { return InputEvent{kEventKey, key, 0, 0, 0, 0}; }
InputEvent Click(int column, int row) { return InputEvent{kEventClick, 0, 0, column, row, 0}; }
InputEvent Wheel(int key) { return InputEvent{kEventWheel, key, 0, 5, 5, 0}; }

TEST(PopupModelTest, KeysAndClicks) {
  struct {
    const char* name;
    std::vector<InputEvent> events;
    int result;  // of the last event
    int selected;
  } cases[] = {
      {"enter takes the first item", {Key(VK_RETURN)}, 10, 0},
      {"down skips separators", {Key(VK_DOWN), Key(VK_RETURN)}, 11, 2},
      {"up wraps round the top", {Key(VK_UP), Key(VK_RETURN)}, 12, 4},
      {"down wraps round the end", {Key(VK_UP), Key(VK_DOWN)}, -1, 0},
      {"escape", {Key(VK_DOWN), Key(VK_ESCAPE)}, 0, 2},
      {"a soft key closes it", {Key(VK_F2)}, 0, 0},
      {"other keys do nothing", {Key('A')}, -1, 0},
      {"the system closes", {InputEvent{kEventClose, 0, 0, 0, 0, 0}}, 0, 0},
      {"click on an item", {Click(45, 19)}, 11, 0},
      {"click on a separator", {Click(45, 18)}, -1, 0},
      {"click on the border", {Click(39, 16)}, -1, 0},
      {"click outside", {Click(10, 19)}, 0, 0},
      // The wheel moves the selection as the arrows do, wherever the pointer is.
      {"wheel down", {Wheel(kWheelDown), Wheel(kWheelDown)}, -1, 4},
      {"wheel up wraps", {Wheel(kWheelUp), Key(VK_RETURN)}, 12, 4},
      {"a drop does nothing", {InputEvent{kEventDrop, 0, 0, 0, 0, 0, u"/x.gpx"}}, -1, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    PopupModel popup = StartPopup(&kMenu);
    int result = -1;
    for (const InputEvent& event : c.events) result = PopupHandle(&popup, event, 60, 24, 23);
    EXPECT_EQ(result, c.result);
    EXPECT_EQ(popup.selected, c.selected);
  }
}

}  // namespace
