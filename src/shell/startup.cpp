#include "shell/startup.h"

#include "resources/wayconv_resources.h"
#include <string>
#include <vector>

#include "shell/command_line_start.h"
#include "shell/main_window.h"
#include "shell/shell_globals.h"

namespace {

// Moves the window's bottom edge up by the menu bar's height, without a
// repaint: the window then ends where the soft keys begin.
void FitAboveMenuBar(HWND window) {
  RECT window_rect;
  RECT bar_rect;
  GetWindowRect(window, &window_rect);
  GetWindowRect(MenuBar, &bar_rect);
  window_rect.bottom -= bar_rect.bottom - bar_rect.top;
  MoveWindow(window, window_rect.left, window_rect.top, window_rect.right - window_rect.left,
             window_rect.bottom - window_rect.top, FALSE);
}

// A command line of several inputs goes to the running copy, which
// converts them; one input only brings it forward, as it always did.
void HandOverInputs(HWND running) {
  const char16_t* text = GetCommandLineW();
  std::vector<std::u16string> paths;
  if (!ParseInputList(text, &paths)) return;
  size_t length = 0;
  while (text[length] != 0) ++length;
  COPYDATASTRUCT data = {};
  data.dwData = kCopyInputList;
  data.cbData = static_cast<DWORD>((length + 1) * sizeof(char16_t));
  data.lpData = const_cast<char16_t*>(text);
  SendMessageW(running, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
}

}  // namespace

int WayconvMain(HINSTANCE instance, int show) {
  InstanceHandle = instance;
  SHInitExtraControls();
  WCHAR title[kNameBufferSize];
  WCHAR class_name[kNameBufferSize];
  LoadStringW(instance, kStringTitle, title, kNameBufferSize);
  LoadStringW(instance, kStringClassName, class_name, kNameBufferSize);

  HWND running = FindWindowW(class_name, title);
  if (running != nullptr) {
    HandOverInputs(running);
    // The lowest bit brings the window forward together with its dialogs.
    SetForegroundWindow(reinterpret_cast<HWND>(reinterpret_cast<uintptr_t>(running) | 1));
    GetWindowThreadProcessId(running, &RunningCopyProcess);
    return 0;
  }

  WNDCLASSW window_class = {};
  window_class.style = CS_HREDRAW | CS_VREDRAW;
  window_class.lpfnWndProc = MainWindowProc;
  window_class.hInstance = instance;
  window_class.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(kIconApp));
  window_class.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  window_class.lpszClassName = class_name;
  if (!RegisterClassW(&window_class)) return 0;

  HWND window = CreateWindowExW(0, class_name, title, WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT,
                                CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance, nullptr);
  if (window == nullptr) return 0;
  MainWindow = window;
  if (MenuBar != nullptr) FitAboveMenuBar(window);
  ShowWindow(window, show);
  UpdateWindow(window);

  HACCEL accelerators = LoadAcceleratorsW(instance, MAKEINTRESOURCEW(kAcceleratorsMain));
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0)) {
    if (!TranslateAcceleratorW(message.hwnd, accelerators, &message)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
  return static_cast<int>(message.wParam);
}
