#include "platform/backend_plumbing.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>

namespace {

constexpr int kCloseSignals[] = {SIGINT, SIGTERM, SIGHUP};
constexpr int kCloseSignalCount = 3;

int g_wake[2] = {-1, -1};
struct sigaction g_previous[kCloseSignalCount];
bool g_installed = false;
void (*g_last_words)() = nullptr;
volatile sig_atomic_t g_close_signal = 0;

void OnCloseSignal(int signal_number) {
  int saved_errno = errno;
  if (g_close_signal != 0) {
    // Asked again before the windows could close: leave now.
    if (g_last_words != nullptr) g_last_words();
    signal(signal_number, SIG_DFL);
    raise(signal_number);
  } else {
    g_close_signal = signal_number;
    WakeWait();
  }
  errno = saved_errno;
}

}  // namespace

bool OpenClosePlumbing(void (*last_words)()) {
  if (g_installed) return true;
  if (pipe2(g_wake, O_CLOEXEC | O_NONBLOCK) != 0) {
    g_wake[0] = g_wake[1] = -1;
    return false;
  }
  g_last_words = last_words;
  g_close_signal = 0;
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  sigfillset(&action.sa_mask);
  action.sa_flags = SA_RESTART;  // file reads and writes go on; poll() returns
  action.sa_handler = OnCloseSignal;
  for (int i = 0; i < kCloseSignalCount; ++i) sigaction(kCloseSignals[i], &action, &g_previous[i]);
  g_installed = true;
  return true;
}

void CloseClosePlumbing() {
  if (!g_installed) return;
  for (int i = 0; i < kCloseSignalCount; ++i) sigaction(kCloseSignals[i], &g_previous[i], nullptr);
  close(g_wake[0]);
  close(g_wake[1]);
  g_wake[0] = g_wake[1] = -1;
  g_installed = false;
}

int WakeFd() {
  return g_wake[0];
}

void DrainWake() {
  char buffer[64];
  while (g_wake[0] >= 0 && read(g_wake[0], buffer, sizeof buffer) > 0) {
  }
}

void WakeWait() {
  if (g_wake[1] < 0) return;
  char byte = 1;
  ssize_t written = write(g_wake[1], &byte, 1);
  (void)written;
}

int CloseSignalTaken() {
  return g_close_signal;
}

int CloseEventKind(CloseOnce* close) {
  int kind = close->told ? kEventEnd : kEventClose;
  close->told = true;
  return kind;
}

bool TakeClick(ClickHistory* history, int column, int row, long long now_ms) {
  bool twice = !history->was_double && history->column == column && history->row == row &&
               now_ms >= history->at_ms && now_ms - history->at_ms <= kDoubleClickMs;
  *history = ClickHistory{column, row, now_ms, twice};
  return twice;
}

int ClickKind(ClickHistory* history, int column, int row, long long now_ms) {
  return TakeClick(history, column, row, now_ms) ? kEventDoubleClick : kEventClick;
}

long long MonotonicMs() {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}
