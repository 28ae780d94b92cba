// The X connection and window as the X11 backend's window and painter share
// them. Only the files of this folder include it.
#pragma once

#include <X11/Xft/Xft.h>
#include <X11/Xlib.h>

#include "backends/x11/x11_map.h"

constexpr int kNoKey = -1;  // no soft key hovered or pressed
constexpr int kLeftKey = 0;
constexpr int kRightKey = 1;
constexpr int kOkButton = 2;  // the caption's OK

struct X11Display {
  Display* display = nullptr;
  int screen = 0;
  Window window = 0;
  bool mapped = false;
  int dpi = 96;
  int width = 0;  // the window's size in pixels
  int height = 0;
  WindowMetrics metrics = {};
  Pixmap buffer = 0;  // drawn into, then copied to the window
  int buffer_width = 0;
  int buffer_height = 0;
  XftDraw* draw = nullptr;
  XftFont* mono = nullptr;      // the cells
  XftFont* label = nullptr;     // title and soft keys
  XftFont* fallback = nullptr;  // glyphs the monospace font lacks
  int hover = kNoKey;           // the button under the pointer
  int pressed = kNoKey;         // the button held down
  int flash_phase = 0;          // >0 while the title flashes (bring forward without a manager)
  int forward_count = 0;        // times another copy brought the window forward
};

X11Display& Xd();

/// Opens the fonts and metrics for the display's dpi; false when no font.
bool OpenFonts();
void CloseFonts();

/// Paints the canvas into the window.
void PaintCanvas();

/// The soft key or caption button under a pixel, or kNoKey.
int ButtonAt(int x, int y);
