// Modal dialogs from a template: the dialog window, its procedure, and the
// loop that hands it the user's actions until EndDialog.
#include "platform/dialog_api.h"
#include "platform/shell_api.h"
#include "platform/window_api.h"
#include "platform/window_internal.h"

namespace {

// Dialog units to cells: an 8-point character cell is about 4 by 8 units.
constexpr int kUnitsPerColumn = 4;
constexpr int kUnitsPerRow = 8;

LRESULT DialogWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  PlatformWindow* w = LiveWindow(window);
  if (w == nullptr || w->dialog.procedure == nullptr) return 0;
  INT_PTR handled = w->dialog.procedure(window, message, wparam, lparam);
  if (handled) return handled;
  // What the procedure leaves alone: closing cancels, painting validates.
  if (message == WM_CLOSE) {
    w->dialog.procedure(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0);
  } else if (message == WM_PAINT) {
    DefWindowProcW(window, message, wparam, lparam);
  }
  return 0;
}

}  // namespace

INT_PTR DialogBoxIndirectParamW(HINSTANCE /*instance*/, LPCDLGTEMPLATEW dialog_template, HWND owner,
                                DLGPROC procedure, LPARAM param) {
  if (dialog_template == nullptr || procedure == nullptr) return -1;
  if (owner != nullptr && LiveWindow(owner) == nullptr) return -1;
  RECT area = WorkArea();
  const DialogTemplate& t = *dialog_template;
  RECT rect = {area.left + t.x / kUnitsPerColumn, area.top + t.y / kUnitsPerRow, 0, 0};
  rect.right = rect.left + t.cx / kUnitsPerColumn;
  rect.bottom = rect.top + t.cy / kUnitsPerRow;
  HWND dialog = CreateInternalWindow(kWindowDialog, owner, rect, t.caption, DialogWindowProc);
  PlatformWindow* w = LiveWindow(dialog);
  w->dialog.procedure = procedure;
  w->dialog.text_count = t.count < kMaxDialogTexts ? t.count : kMaxDialogTexts;
  for (int i = 0; i < w->dialog.text_count; ++i) {
    const DialogItemTemplate& item = t.items[i];
    w->dialog.texts[i] =
        DialogTextView{item.text != nullptr ? item.text : u"", item.x / kUnitsPerColumn,
                       item.y / kUnitsPerRow, item.cx / kUnitsPerColumn};
  }
  HWND previous = ActiveWindow();
  ActivateWindow(dialog);
  SendMessageW(dialog, WM_INITDIALOG, 0, param);

  while (LiveWindow(dialog) != nullptr && !w->dialog.ended) {
    PresentIfChanged();
    DialogView view = {w->title.c_str(), (w->dialog.shell_flags & SHIDIF_DONEBUTTON) != 0,
                       (w->dialog.shell_flags & SHIDIF_EMPTYMENU) != 0, w->dialog.texts,
                       w->dialog.text_count};
    int action = RunOwnDialog(&view);
    if (action == kDialogOk) {
      SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, 0), 0);
    } else {
      SendMessageW(dialog, WM_CLOSE, 0, 0);
      // With no input left, a dialog that will not close is closed for it.
      if (action == kDialogGone && !w->dialog.ended) {
        w->dialog.ended = 1;
        w->dialog.result = IDCANCEL;
      }
    }
  }
  INT_PTR result = w->dialog.result;
  DestroyWindow(dialog);
  if (LiveWindow(previous) != nullptr) ActivateWindow(previous);
  MarkScreenChanged();
  return result;
}

BOOL EndDialog(HWND dialog, INT_PTR result) {
  PlatformWindow* w = LiveWindow(dialog);
  if (w == nullptr || w->kind != kWindowDialog) return FALSE;
  w->dialog.ended = 1;
  w->dialog.result = result;
  return TRUE;
}
