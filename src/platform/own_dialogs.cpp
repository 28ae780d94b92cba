// The platform's own popup, dialog and open-file dialog, run on a backend's
// input for every backend alike. Every event is read through ReadInput, so
// other copies are answered while any of them waits.
#include <string>

#include "host/text.h"
#include "platform/shell_api.h"
#include "platform/window_api.h"
#include "platform/window_internal.h"

namespace {

// Redraws, then reads the next event; a resize is handled here.
int NextModalEvent(InputEvent* event) {
  PresentNow();
  int kind = ReadInput(event);
  if (kind == kEventResize) HandleScreenResize();
  return kind;
}

}  // namespace

std::u16string DroppedPaths(const char16_t* text) {
  std::u16string paths;
  while (text != nullptr && *text != 0) {
    size_t length = WideLength(text);
    paths.append(text, length + 1);
    text += length + 1;
  }
  return paths;
}

int AnswerWithDrop(OpenFileView* view, const char16_t* text) {
  std::u16string paths = DroppedPaths(text);
  if (paths.empty() || !view->must_exist) return -1;
  std::u16string_view first(paths.data(), paths.find(u'\0'));
  const bool several = first.size() + 1 < paths.size();
  // One path as it is; several each ended by a zero, and one more zero.
  std::u16string answer = several ? paths + u'\0' : std::u16string(first);
  if (answer.size() >= static_cast<size_t>(view->file_capacity)) return 0;
  answer.copy(view->file, answer.size());
  view->file[answer.size()] = 0;
  size_t slash = first.rfind(u'/');
  std::string name = Utf16ToUtf8(first.substr(slash == std::u16string_view::npos ? 0 : slash + 1));
  int filter = FilterForName(name, view->filters, view->filter_count);
  if (filter >= 1) view->filter_index = filter;
  return several ? kOpenFileSeveral : 1;
}

int RunOwnPopup(const MenuView* menu) {
  if (menu->count <= 0) return 0;
  PopupModel* shown = ShownPopup();
  PopupModel own = StartPopup(menu);
  PopupModel* popup = shown != nullptr && shown->menu == menu ? shown : &own;
  if (popup == &own) ShowPopup(&own);
  int chosen = -1;
  while (chosen < 0) {
    InputEvent event;
    if (NextModalEvent(&event) == kEventResize) continue;
    int columns = 0;
    int rows = 0;
    ScreenSize(&columns, &rows);
    chosen = PopupHandle(popup, event, columns, rows, BarRow());
  }
  if (popup == &own) ShowPopup(nullptr);
  return chosen;
}

int RunOwnDialog(const DialogView* dialog) {
  for (;;) {
    InputEvent event;
    int kind = NextModalEvent(&event);
    if (kind == kEventClose || kind == kEventEnd) return kDialogGone;
    if (kind == kEventKey && event.key == VK_RETURN) return kDialogOk;
    if (kind == kEventKey && event.key == VK_ESCAPE) return kDialogClose;
    if (kind == kEventClick && dialog->done_button && event.row == 0) {
      int columns = 0;
      int rows = 0;
      ScreenSize(&columns, &rows);
      if (event.column >= columns - 2) return kDialogOk;
    }
  }
}

int RunOwnOpenFile(OpenFileView* view) {
  FileDialogModel* shown = ShownFileDialog();
  FileDialogModel own;
  FileDialogModel* dialog = shown;
  if (shown == nullptr || shown->view != view) {
    StartFileDialog(&own, view);
    ShowFileDialog(&own);
    dialog = &own;
  }
  int result = -1;
  while (result < 0) {
    InputEvent event;
    if (NextModalEvent(&event) == kEventResize) continue;
    int columns = 0;
    int rows = 0;
    ScreenSize(&columns, &rows);
    // A file dropped on an input dialog is chosen as it is.
    result = event.kind == kEventDrop ? AnswerWithDrop(view, event.text)
                                      : FileDialogHandle(dialog, event, columns, rows);
  }
  if (dialog == &own) ShowFileDialog(nullptr);
  MarkScreenChanged();
  return result;
}
