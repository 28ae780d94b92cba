// The message queue and the loop's calls: posting, reading and
// dispatching messages, reading the backend's input (answering other copies
// meanwhile) and turning it into messages; a resize refits the windows.
#include "platform/shell_api.h"
#include "platform/window_api.h"
#include "platform/window_internal.h"

namespace {

// A fixed ring: posting never allocates, and a program that floods its own
// queue sees PostMessageW fail instead of growing without bound.
constexpr int kQueueCapacity = 1024;

struct Posted {
  MSG message;
  int modifiers;  // the keys held when the input behind it was read
};

Posted g_queue[kQueueCapacity];
int g_head = 0;
int g_count = 0;
int g_quit_posted = 0;
int g_quit_code = 0;
int g_modifiers = 0;     // of the message being handled
int g_ended_inputs = 0;  // kEventEnd reads in a row

bool Post(HWND window, UINT message, WPARAM wparam, LPARAM lparam, int modifiers) {
  if (g_count == kQueueCapacity) return false;
  Posted& slot = g_queue[(g_head + g_count) % kQueueCapacity];
  slot.message = MSG{window, message, wparam, lparam, 0, POINT{0, 0}};
  slot.modifiers = modifiers;
  ++g_count;
  return true;
}

HWND InvalidWindow() {
  HWND found = nullptr;
  ForEachWindow([&](PlatformWindow* w) {
    if (found == nullptr && w->visible && w->invalid && w->kind != kWindowRemote) found = w;
  });
  return found;
}

// The system closes the program: every top-level window gets WM_CLOSE.
void CloseAllWindows() {
  bool any = false;
  ForEachWindow([&](PlatformWindow* w) {
    if (w->kind == kWindowApp && w->parent == nullptr) {
      Post(w, WM_CLOSE, 0, 0, 0);
      any = true;
    }
  });
  if (!any) PostQuitMessage(0);
}

// A file dropped on the main screen is converted as if chosen with "Open
// file": the soft key, whose dialog then answers with the file. Not while a
// dialog with OK is on top.
void TakeDrop(const InputEvent& event) {
  const PlatformWindow* top = LiveWindow(ActiveWindow());
  if (top != nullptr && top->kind == kWindowDialog && (top->dialog.shell_flags & SHIDIF_DONEBUTTON)) {
    return;
  }
  HWND bar = MenuBarOf(ActiveWindow());
  if (bar == nullptr) return;
  KeepDrop(event.text);
  Post(bar, WM_KEYDOWN, VK_F1, 1, 0);
}

void TakeInput(const InputEvent& event) {
  g_ended_inputs = event.kind == kEventEnd ? g_ended_inputs + 1 : 0;
  switch (event.kind) {
    case kEventKey: {
      HWND target = ActiveWindow();
      // The soft keys belong to the active window's menu bar, as on the device.
      HWND bar = MenuBarOf(target);
      if (bar != nullptr && (event.key == VK_F1 || event.key == VK_F2)) target = bar;
      // A character with no key of its own (only a dialog types it) posts
      // nothing.
      if (target != nullptr && event.key != 0) {
        Post(target, WM_KEYDOWN, static_cast<WPARAM>(event.key), 1, event.modifiers);
      }
      break;
    }
    case kEventDrop:
      TakeDrop(event);
      break;
    case kEventClick:
    case kEventDoubleClick: {
      // Outside the dialogs a double click is a tap like any other.
      HWND target = WindowAt(event.column, event.row);
      PlatformWindow* w = LiveWindow(target);
      if (w != nullptr) {
        auto x = static_cast<WORD>(event.column - w->rect.left);
        auto y = static_cast<WORD>(event.row - w->rect.top);
        Post(target, WM_LBUTTONUP, 0, MAKELPARAM(x, y), event.modifiers);
      }
      break;
    }
    case kEventWheel: {
      HWND target = WindowAt(event.column, event.row);
      if (target != nullptr) {
        auto turn = static_cast<WORD>(static_cast<short>(-event.key * WHEEL_DELTA));
        Post(target, WM_MOUSEWHEEL, MAKELPARAM(0, turn),
             MAKELPARAM(static_cast<WORD>(event.column), static_cast<WORD>(event.row)),
             event.modifiers);
      }
      break;
    }
    case kEventResize:
      HandleScreenResize();
      break;
    case kEventClose:
      CloseAllWindows();
      break;
    case kEventEnd:
      // Input is gone for good: close the windows, and if one refuses to go,
      // end the loop anyway.
      if (g_ended_inputs > 1) {
        PostQuitMessage(0);
      } else {
        CloseAllWindows();
      }
      break;
    default:
      break;
  }
}

// On a screen too small for the windows only a resize, a close and Ctrl+Q
// (save and exit) get through.
bool IgnoredWhileTooSmall(const InputEvent& event) {
  if (event.kind == kEventKey) return !(event.key == 'Q' && (event.modifiers & kModControl));
  return event.kind == kEventClick || event.kind == kEventDoubleClick ||
         event.kind == kEventWheel || event.kind == kEventDrop;
}

}  // namespace

int ReadInput(InputEvent* event) {
  for (;;) {
    PresentIfChanged();
    // A drop not taken by a dialog since it came is void.
    TakeKeptDrop();
    *event = InputEvent{kEventEnd, 0, 0, 0, 0, 0};
    int kind = CurrentBackend()->next_input(event, ClaimWatchFd());
    event->kind = kind;
    if (kind == kEventWatch) {
      ServeClaim();
      continue;
    }
    if (!ScreenTooSmall() || !IgnoredWhileTooSmall(*event)) return kind;
    MarkScreenChanged();
  }
}

void HandleScreenResize() {
  RECT area = WorkArea();
  ForEachWindow([&](PlatformWindow* w) {
    if (w->kind == kWindowBar) {
      MoveWindow(w, 0, area.bottom - 1, area.right, 1, TRUE);
    } else if (w->kind == kWindowDialog) {
      MoveWindow(w, area.left, area.top, area.right - area.left, area.bottom - area.top - 1, TRUE);
    } else if (w->kind == kWindowApp && w->parent == nullptr) {
      // On the device a rotated screen arrives as this message; the shell
      // library refits the window.
      PostMessageW(w, WM_SETTINGCHANGE, SETTINGCHANGE_RESET, 0);
    }
  });
  MarkScreenChanged();
}

BOOL PostMessageW(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (window != nullptr && LiveWindow(window) == nullptr) return FALSE;
  return Post(window, message, wparam, lparam, 0) ? TRUE : FALSE;
}


void PostQuitMessage(int exit_code) {
  g_quit_posted = 1;
  g_quit_code = exit_code;
}

BOOL GetMessageW(MSG* message, HWND /*filter*/, UINT /*first*/, UINT /*last*/) {
  for (;;) {
    while (g_count > 0) {
      Posted posted = g_queue[g_head];
      g_head = (g_head + 1) % kQueueCapacity;
      --g_count;
      // A message for a window destroyed meanwhile is dropped.
      if (posted.message.hwnd != nullptr && LiveWindow(posted.message.hwnd) == nullptr) continue;
      g_modifiers = posted.modifiers;
      *message = posted.message;
      return TRUE;
    }
    if (g_quit_posted) {
      g_quit_posted = 0;
      g_modifiers = 0;
      *message = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(g_quit_code), 0, 0, POINT{0, 0}};
      return FALSE;
    }
    HWND invalid = InvalidWindow();
    if (invalid != nullptr) {
      g_modifiers = 0;
      *message = MSG{invalid, WM_PAINT, 0, 0, 0, POINT{0, 0}};
      return TRUE;
    }
    InputEvent event = {};
    ReadInput(&event);
    TakeInput(event);
  }
}

BOOL TranslateMessage(const MSG* message) {
  // Nothing in the program reads characters, so no WM_CHAR is made.
  return message != nullptr && message->message == WM_KEYDOWN ? TRUE : FALSE;
}

LRESULT DispatchMessageW(const MSG* message) {
  if (message == nullptr || message->hwnd == nullptr) return 0;
  return SendMessageW(message->hwnd, message->message, message->wParam, message->lParam);
}

short GetKeyState(int virtual_key) {
  int bit = virtual_key == VK_CONTROL ? kModControl
            : virtual_key == VK_SHIFT ? kModShift
            : virtual_key == VK_MENU  ? kModAlt
                                      : 0;
  return (g_modifiers & bit) != 0 ? static_cast<short>(-32768) : 0;
}

void ResetQueueForTest() {
  g_head = 0;
  g_count = 0;
  g_quit_posted = 0;
  g_quit_code = 0;
  g_modifiers = 0;
  g_ended_inputs = 0;
}
