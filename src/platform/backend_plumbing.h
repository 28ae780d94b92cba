// What every interactive backend needs around its own input: the close
// signals with the pipe that wakes its wait, a ring of events read ahead,
// double-click timing, and "close once, then end". The terminal and the
// desktop window use it; each keeps only what is its own (curses calls,
// Xlib calls).
//
// SIGINT, SIGTERM and SIGHUP only note the signal and wake the wait: the
// backend then reports kEventClose, so the program closes its windows as
// when the system closes them and saves nothing. A second such signal
// before that ends the program at once, after `last_words` (which must be
// async-signal-safe) has put the screen back.
#pragma once

#include <csignal>

#include "platform/backend.h"

/// Makes the wake pipe and installs the close-signal handlers; false when
/// the pipe cannot be made (nothing is installed then).
bool OpenClosePlumbing(void (*last_words)());

/// Puts the previous handlers back and closes the pipe.
void CloseClosePlumbing();

/// The pipe's end to poll with the backend's own descriptors; -1 when closed.
int WakeFd();

/// Empties the pipe after poll() found it readable.
void DrainWake();

/// Wakes the wait; async-signal-safe, for a backend's own signal handlers
/// (a terminal's SIGWINCH).
void WakeWait();

/// The close signal that came, or 0.
int CloseSignalTaken();

/// kEventClose the first time the backend reports its windows closing,
/// kEventEnd every time after: should the program not close, the input is
/// over.
struct CloseOnce {
  bool told = false;
};
int CloseEventKind(CloseOnce* close);

/// Events read ahead of the platform's asking, first in first out; what
/// comes while it is full is dropped.
template <typename Event, int kCapacity = 64>
struct EventRing {
  Event events[kCapacity];
  int first = 0;
  int count = 0;

  bool Full() const { return count == kCapacity; }
  void Clear() { first = count = 0; }
  void Push(const Event& event) {
    if (Full()) return;
    events[(first + count) % kCapacity] = event;
    ++count;
  }
  bool Pop(Event* event) {
    if (count == 0) return false;
    *event = events[first];
    first = (first + 1) % kCapacity;
    --count;
    return true;
  }
};

/// A double click is a second click on the same cell within kDoubleClickMs
/// of the first (a third starts afresh).
constexpr long long kDoubleClickMs = 400;

struct ClickHistory {
  int column = -1;
  int row = -1;
  long long at_ms = 0;
  bool was_double = false;
};

/// Whether a click at `column`, `row` at `now_ms` completes a double click;
/// notes the click.
bool TakeClick(ClickHistory* history, int column, int row, long long now_ms);

/// The click's kind for the platform: kEventClick or kEventDoubleClick.
int ClickKind(ClickHistory* history, int column, int row, long long now_ms);

/// Milliseconds of the monotonic clock, for TakeClick.
long long MonotonicMs();
