#include "shell/main_window.h"

#include <cstring>
#include <string>

#include "common/globals.h"
#include "common/message_log.h"
#include "resources/resource_ids.h"
#include "shell/command_line_start.h"
#include "shell/settings.h"
#include "shell/shell_globals.h"

namespace {

LRESULT OnCreate(HWND window) {
  SHMENUBARINFO bar = {};
  bar.cbSize = kMenuBarInfoSize;
  bar.hwndParent = window;
  bar.nToolBarId = kMenuBarMain;
  bar.hInstRes = InstanceHandle;
  MenuBar = SHCreateMenuBar(&bar) ? bar.hwndMB : nullptr;

  ActivateInfo = SHACTIVATEINFO{};
  ActivateInfo.cbSize = kActivateInfoSize;

  LoadSettings();
  ClearLog();
  if (!ExamineCommandLine(window)) {
    // The window is not known to AppendLog yet: straight into the buffer.
    AppendToLogBuffer(u"Output file: ");
    AppendPathToLog(OutputPath);
    AppendToLogBuffer(u"\r\n\r\nSelect input file ...\r\n");
    InvalidateRect(window, nullptr, TRUE);
  }
  return 0;
}

LRESULT OnPaint(HWND window) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window, &paint);
  RECT client;
  GetClientRect(window, &client);
  DrawTextW(dc, MessageLog, -1, &client, 0);
  EndPaint(window, &paint);
  return 0;
}

// The check marks of "Break track at 1000 m space" and "Keep shape when
// thinning" follow DoSplit and ThinShape each time the Tools popup opens.
LRESULT OnInitMenuPopup(WPARAM wparam, LPARAM lparam) {
  auto param = static_cast<uintptr_t>(lparam);
  if (HIWORD(param) == 0 && LOWORD(param) == kCmdToolsButton) {
    CheckMenuItem(reinterpret_cast<HMENU>(wparam), kCmdBreakTrack,
                  MF_BYCOMMAND | (DoSplit ? MF_CHECKED : MF_UNCHECKED));
    CheckMenuItem(reinterpret_cast<HMENU>(wparam), kCmdKeepShape,
                  MF_BYCOMMAND | (ThinShape ? MF_CHECKED : MF_UNCHECKED));
  }
  return 0;
}

// Another copy, started with several inputs, hands them over: they are
// converted together as if this copy had been started with them.
LRESULT OnCopyData(HWND window, LPARAM lparam) {
  const COPYDATASTRUCT* data = reinterpret_cast<const COPYDATASTRUCT*>(lparam);
  if (data == nullptr || data->dwData != kCopyInputList || data->lpData == nullptr ||
      data->cbData < sizeof(char16_t) || data->cbData % sizeof(char16_t) != 0) {
    return FALSE;
  }
  std::u16string text(data->cbData / sizeof(char16_t), u'\0');
  std::memcpy(text.data(), data->lpData, data->cbData);
  return ArmInputList(window, text.c_str()) ? TRUE : FALSE;
}

}  // namespace

LRESULT MainWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_CREATE:
      return OnCreate(window);
    case WM_COMMAND:
      return MainWindowCommand(window, wparam, lparam);
    case WM_COPYDATA:
      return OnCopyData(window, lparam);
    case WM_INITMENUPOPUP:
      return OnInitMenuPopup(wparam, lparam);
    case WM_PAINT:
      return OnPaint(window);
    case WM_ACTIVATE:
      SHHandleWMActivate(window, wparam, lparam, &ActivateInfo, 0);
      return 0;
    case WM_SETTINGCHANGE:
      SHHandleWMSettingChange(window, wparam, lparam, &ActivateInfo);
      return 0;
    case WM_DESTROY:
      DestroyWindow(MenuBar);
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(window, message, wparam, lparam);
  }
}

void RepaintMainWindow() {
  InvalidateRect(MainWindow, nullptr, TRUE);
  SendMessageW(MainWindow, WM_PAINT, 0, 0);
}
