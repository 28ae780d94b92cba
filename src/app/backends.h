// The backends the program can show its window on: one table, the only
// place that knows them all. A new backend is one row here, one folder under
// src/backends and one library in CMake.
#pragma once

#include "platform/backend.h"

struct BackendRow {
  const char* name;
  const PlatformBackend* (*backend)();
  /// The signal that closed the program's windows during the last run, or 0
  /// (the program then ends the way that signal ends it); null when the
  /// backend closes on no signal.
  int (*close_signal)();
};

/// The row named `name`, or null.
const BackendRow* FindBackend(const char* name);
