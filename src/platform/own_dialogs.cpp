// The platform's own popup, dialog and open-file dialog, run on a backend's
// input: a backend that draws DrawScreen points track_popup, run_dialog and
// open_file here. Every event is read through ReadInput, so other copies are
// answered while any of them waits.
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
    result = FileDialogHandle(dialog, event, columns, rows);
  }
  if (dialog == &own) ShowFileDialog(nullptr);
  MarkScreenChanged();
  return result;
}
