// At the bottom of the window layer: the backend the screen is shown on, the
// screen's size, and whether it changed since it was last presented. Of the
// layer it calls only DrawScreen, for the frame it pushes to the backend.
#include <cstdio>
#include <cstdlib>

#include "platform/window_internal.h"

namespace {

const PlatformBackend* g_backend = nullptr;
int g_changed = 1;

}  // namespace

void UsePlatformBackend(const PlatformBackend* backend) {
  g_backend = backend;
  g_changed = 1;
}

const PlatformBackend* CurrentBackend() {
  // No layer picks a backend by itself: the program and every test choose.
  if (g_backend == nullptr) {
    std::fputs("wayconv: no backend chosen before the first window; this is a bug\n", stderr);
    std::abort();
  }
  return g_backend;
}

void ResetBackendForTest() {
  g_backend = nullptr;
  g_changed = 1;
}

void MarkScreenChanged() {
  g_changed = 1;
}

void PresentIfChanged() {
  if (g_changed) PresentNow();
}

void PresentNow() {
  g_changed = 0;
  Frame frame;
  DrawScreen(&frame);
  CurrentBackend()->present(frame);
}

void ScreenSize(int* columns, int* rows) {
  CurrentBackend()->screen_size(columns, rows);
  if (*columns < 1) *columns = 1;
  if (*rows < 2) *rows = 2;
}

RECT WorkArea() {
  int columns = 0;
  int rows = 0;
  ScreenSize(&columns, &rows);
  return RECT{0, 1, columns, rows};
}

bool ScreenTooSmall() {
  int columns = 0;
  int rows = 0;
  ScreenSize(&columns, &rows);
  return columns < kMinColumns || rows < kMinRows;
}
