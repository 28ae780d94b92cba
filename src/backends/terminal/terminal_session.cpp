// Taking the terminal and giving it back, and the signals around that.
//
// The screen is restored in three ways. CloseTerminal does it the curses way
// at a normal end (and an exit handler does, should the program end while it
// is taken). SIGINT, SIGTERM and SIGHUP are the shared plumbing's
// (platform/backend_plumbing.h): they close the windows as the system does,
// and a second one restores the screen here and leaves at once. A crash
// signal writes a restore sequence prepared in advance and the saved terminal
// modes (both async-signal-safe) and hands the signal on to the handler that
// was there before (a sanitizer's, or the default action).
#include "backends/terminal/terminal_session.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <initializer_list>
#include <string>

#include "backends/terminal/terminal_map.h"
#include "platform/backend_plumbing.h"
// After the platform's headers: curses defines TRUE and FALSE.
#include "backends/terminal/terminal_curses.h"
// Last: it defines a macro for every capability name ("lines", "columns").
#include <term.h>

namespace {

constexpr int kCrashSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT, SIGQUIT};
constexpr int kMaxHandlers = 10;
constexpr size_t kRestoreCapacity = 256;
// Wake-ups with the keyboard readable but no key in it, in a row, after
// which the input counts as gone (a hung-up terminal reads as empty).
constexpr int kMaxEmptyWakes = 100;
constexpr int kEscapeDelayMs = 25;

struct SavedHandler {
  int signal_number;
  struct sigaction previous;
};

SavedHandler g_handlers[kMaxHandlers];
int g_handler_count = 0;

bool g_opened = false;
FILE* g_input = nullptr;  // standard input, or the terminal itself when that is redirected
bool g_own_input = false;
int g_in_fd = -1;
SCREEN* g_screen = nullptr;
struct termios g_saved_modes;
volatile sig_atomic_t g_screen_on = 0;
volatile sig_atomic_t g_resized = 0;
char g_restore[kRestoreCapacity];
size_t g_restore_length = 0;

// The key code curses reports for "ESC [ <", the start of an SGR (1006)
// mouse report, on a terminal whose description knows only the old reports:
// the rest of the report is then read here.
constexpr int kKeySgrMouse = KEY_MAX + 1;
constexpr int kSgrReadMs = 50;  // for the rest of a report to arrive
bool g_own_sgr = false;
ClickHistory g_clicks;

EventRing<TermEvent> g_events;
bool g_input_ended = false;
int g_empty_wakes = 0;

// Async-signal-safe: the terminal as it was before the screen was taken.
void RestoreNow() {
  if (!g_screen_on) return;
  g_screen_on = 0;
  ssize_t written = write(STDOUT_FILENO, g_restore, g_restore_length);
  (void)written;
  tcsetattr(g_in_fd, TCSANOW, &g_saved_modes);
}

void OnResize(int /*signal_number*/) {
  int saved_errno = errno;
  g_resized = 1;
  WakeWait();
  errno = saved_errno;
}

void OnCrash(int signal_number, siginfo_t* info, void* /*context*/) {
  RestoreNow();
  for (int i = 0; i < g_handler_count; ++i) {
    if (g_handlers[i].signal_number == signal_number) {
      sigaction(signal_number, &g_handlers[i].previous, nullptr);
    }
  }
  // A fault happens again when the instruction runs again on return, now
  // with the previous handler in place; a sent signal has to be sent again.
  if (info == nullptr || info->si_code <= 0) raise(signal_number);
}

void Install(int signal_number, struct sigaction* action) {
  if (g_handler_count == kMaxHandlers) return;
  SavedHandler& saved = g_handlers[g_handler_count];
  if (sigaction(signal_number, action, &saved.previous) == 0) {
    saved.signal_number = signal_number;
    ++g_handler_count;
  }
}

void InstallHandlers() {
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  sigfillset(&action.sa_mask);
  action.sa_flags = SA_RESTART;  // file reads and writes go on; poll() returns
  // Installed before curses starts, so that curses leaves SIGWINCH to us.
  action.sa_handler = OnResize;
  Install(SIGWINCH, &action);
  std::memset(&action, 0, sizeof action);
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_SIGINFO;
  action.sa_sigaction = OnCrash;
  for (int signal_number : kCrashSignals) Install(signal_number, &action);
}

void RemoveHandlers() {
  while (g_handler_count > 0) {
    --g_handler_count;
    sigaction(g_handlers[g_handler_count].signal_number, &g_handlers[g_handler_count].previous,
              nullptr);
  }
}

// Adds a terminal capability's string to the restore sequence, without its
// padding ("$<5>"), which only a slow terminal needs.
void AddCapability(const char* name) {
  char* value = tigetstr(name);
  if (value == nullptr || value == reinterpret_cast<char*>(-1)) return;
  for (const char* p = value; *p != 0; ++p) {
    if (p[0] == '$' && p[1] == '<') {
      const char* end = std::strchr(p, '>');
      if (end != nullptr) {
        p = end;
        continue;
      }
    }
    if (g_restore_length + 1 < kRestoreCapacity) g_restore[g_restore_length++] = *p;
  }
}

void PrepareRestore(bool mouse) {
  g_restore_length = 0;
  if (mouse) {
    const char kMouseOff[] = "\033[?1000l\033[?1006l";
    std::memcpy(g_restore, kMouseOff, sizeof kMouseOff - 1);
    g_restore_length = sizeof kMouseOff - 1;
  }
  for (const char* name : {"sgr0", "cnorm", "rmkx", "rmcup"}) AddCapability(name);
}

void RestoreAtExit() {
  if (g_screen != nullptr && g_screen_on) {
    if (g_own_sgr) putp("\033[?1006l");
    endwin();
    g_screen_on = 0;
  }
}

void Push(const TermEvent& event) {
  g_events.Push(event);
}

void PushMouse(const MouseReport& mouse) {
  if (mouse.action == kMouseRelease) {
    bool twice = TakeClick(&g_clicks, mouse.column, mouse.row, MonotonicMs());
    Push(TermEvent{kTermClick, twice ? 1 : 0, mouse.column, mouse.row});
  } else if (mouse.action == kMouseWheelUp || mouse.action == kMouseWheelDown) {
    Push(TermEvent{kTermWheel, mouse.action == kMouseWheelUp ? kWheelUp : kWheelDown, mouse.column,
                   mouse.row});
  }
}

// The rest of an SGR mouse report after "ESC [ <", up to its final letter.
void ReadSgrMouse() {
  std::string body;
  wtimeout(stdscr, kSgrReadMs);
  while (body.size() < 32) {
    wint_t code = 0;
    int got = wget_wch(stdscr, &code);
    if (got == ERR || got == KEY_CODE_YES || code > 0x7F) break;
    body += static_cast<char>(code);
    if (code == 'M' || code == 'm') break;
  }
  nodelay(stdscr, TRUE);
  MouseReport mouse;
  if (ParseSgrMouse(body, &mouse)) PushMouse(mouse);
}

// Takes the keys curses has ready; false when there was none.
bool ReadKeys() {
  bool any = false;
  while (!g_events.Full()) {
    wint_t code = 0;
    int got = wget_wch(stdscr, &code);
    if (got == ERR) break;
    any = true;
    if (got != KEY_CODE_YES) {
      Push(TermEvent{kTermChar, static_cast<int>(code), 0, 0});
    } else if (code == KEY_MOUSE) {
      MEVENT mouse;
      if (getmouse(&mouse) == OK) {
        int action = (mouse.bstate & (BUTTON1_RELEASED | BUTTON1_CLICKED)) ? kMouseRelease
                     : (mouse.bstate & BUTTON4_PRESSED)                    ? kMouseWheelUp
                     : (mouse.bstate & BUTTON5_PRESSED)                    ? kMouseWheelDown
                                                                           : kMouseNone;
        PushMouse(MouseReport{action, mouse.x, mouse.y});
      }
    } else if (code == kKeySgrMouse && g_own_sgr) {
      ReadSgrMouse();
    } else if (code == KEY_RESIZE) {
      Push(TermEvent{kTermResize, 0, 0, 0});
    } else {
      Push(TermEvent{kTermKey, static_cast<int>(code), 0, 0});
    }
  }
  return any;
}

void TakeNewSize() {
  struct winsize size;
  if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_row > 0 && size.ws_col > 0) {
    resizeterm(size.ws_row, size.ws_col);
  }
}

}  // namespace

int OpenTerminal() {
  if (g_opened) return 0;
  if (!isatty(STDOUT_FILENO)) return 1;
  std::setlocale(LC_ALL, "");
  if (isatty(STDIN_FILENO)) {
    g_input = stdin;
    g_own_input = false;
  } else {
    g_input = std::fopen("/dev/tty", "re");
    g_own_input = true;
    if (g_input == nullptr) return 1;
  }
  g_in_fd = fileno(g_input);
  // A terminal without cursor addressing cannot show the window.
  int error = 0;
  bool usable = setupterm(nullptr, STDOUT_FILENO, &error) == OK;
  if (usable) {
    char* move = tigetstr("cup");
    usable = move != nullptr && move != reinterpret_cast<char*>(-1);
    del_curterm(cur_term);
  }
  if (!usable || !OpenClosePlumbing(RestoreNow)) {
    if (g_own_input) std::fclose(g_input);
    g_input = nullptr;
    return 1;
  }
  static bool exit_handler = false;
  if (!exit_handler) exit_handler = std::atexit(RestoreAtExit) == 0;
  g_resized = 0;
  g_events.Clear();
  g_input_ended = false;
  g_empty_wakes = 0;
  InstallHandlers();
  g_opened = true;
  return 0;
}

void CloseTerminal() {
  if (!g_opened) return;
  if (g_screen != nullptr) {
    if (g_own_sgr) putp("\033[?1006l");
    g_own_sgr = false;
    endwin();
    g_screen_on = 0;
    delscreen(g_screen);
    g_screen = nullptr;
  }
  RemoveHandlers();
  CloseClosePlumbing();
  if (g_own_input) std::fclose(g_input);
  g_input = nullptr;
  g_opened = false;
}

bool EnsureScreen() {
  if (g_screen != nullptr) return true;
  if (!g_opened || tcgetattr(g_in_fd, &g_saved_modes) != 0) return false;
  g_screen = newterm(nullptr, stdout, g_input);
  if (g_screen == nullptr) return false;
  set_term(g_screen);
  cbreak();
  noecho();
  nonl();
  intrflush(stdscr, FALSE);
  keypad(stdscr, TRUE);
  nodelay(stdscr, TRUE);
  curs_set(0);
  set_escdelay(kEscapeDelayMs);
  mouseinterval(0);
  bool mouse = mousemask(BUTTON1_PRESSED | BUTTON1_RELEASED | BUTTON1_CLICKED | BUTTON4_PRESSED |
                             BUTTON5_PRESSED,
                         nullptr) != 0;
  // SGR (1006) mouse reports work at any column. Where the terminal's
  // description already expects them curses reads them; elsewhere they are
  // asked for here and read by ReadSgrMouse.
  char* mouse_key = tigetstr("kmous");
  bool known = mouse_key != nullptr && mouse_key != reinterpret_cast<char*>(-1);
  g_own_sgr = mouse && !(known && std::strstr(mouse_key, "[<") != nullptr);
  if (g_own_sgr) {
    define_key("\033[<", kKeySgrMouse);
    putp("\033[?1006h");
    fflush(stdout);
  }
  g_clicks = ClickHistory();
  // Flow control off, so that Ctrl+Q (and Ctrl+S) reach the program; the
  // other keys that make signals keep doing so.
  struct termios modes;
  if (tcgetattr(g_in_fd, &modes) == 0) {
    modes.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF);
    tcsetattr(g_in_fd, TCSADRAIN, &modes);
    def_prog_mode();
  }
  PrepareRestore(mouse);
  g_screen_on = 1;
  return true;
}

int CloseSignal() {
  return CloseSignalTaken();
}

void WaitTermEvent(TermEvent* event, int watch_fd) {
  for (;;) {
    if (g_events.Pop(event)) return;
    if (CloseSignalTaken() != 0) {
      *event = TermEvent{kTermClose, 0, 0, 0};
      return;
    }
    if (g_resized && EnsureScreen()) {
      g_resized = 0;
      TakeNewSize();
      *event = TermEvent{kTermResize, 0, 0, 0};
      return;
    }
    if (g_input_ended || !EnsureScreen()) {
      *event = TermEvent{kTermEnd, 0, 0, 0};
      return;
    }
    if (ReadKeys()) continue;
    pollfd watch[3] = {{g_in_fd, POLLIN, 0}, {WakeFd(), POLLIN, 0}, {watch_fd, POLLIN, 0}};
    int ready = poll(watch, watch_fd >= 0 ? 3 : 2, -1);
    if (ready < 0) {
      if (errno != EINTR) g_input_ended = true;
      continue;
    }
    if (watch[1].revents != 0) DrainWake();
    short keyboard = watch[0].revents;
    if (keyboard & POLLIN) {
      g_empty_wakes = ReadKeys() ? 0 : g_empty_wakes + 1;
      if (g_empty_wakes > kMaxEmptyWakes) g_input_ended = true;
    } else if (keyboard & (POLLHUP | POLLERR | POLLNVAL)) {
      g_input_ended = true;
    }
    if (watch_fd >= 0 && (watch[2].revents & POLLIN)) {
      *event = TermEvent{kTermWatch, 0, 0, 0};
      return;
    }
  }
}

bool IsEnter(const TermEvent& event) {
  return (event.kind == kTermChar && (event.code == '\r' || event.code == '\n')) ||
         (event.kind == kTermKey && event.code == KEY_ENTER);
}

bool IsEscape(const TermEvent& event) {
  return event.kind == kTermChar && event.code == 0x1B;
}

bool IsBackspace(const TermEvent& event) {
  return (event.kind == kTermChar && (event.code == '\b' || event.code == 0x7F)) ||
         (event.kind == kTermKey && event.code == KEY_BACKSPACE);
}
