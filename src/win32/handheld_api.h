// What the shell includes as the handheld API on Windows (through the
// headers in win32/platform/, which stand in for src/platform/'s on this
// host): the real <windows.h>, the shim of win32/handheld_types.h, and these
// names pointed at the shim where the desktop call behaves differently from
// the handheld's. Each difference is described at the shim's declaration.
#pragma once

#include "win32/handheld_types.h"

// The shim's own sources define WAYCONV_HANDHELD_SHIM: they call the real
// functions of these names.
#ifndef WAYCONV_HANDHELD_SHIM
#define OPENFILENAMEW HandheldOpenFileName
#define GetOpenFileNameW HandheldGetOpenFileNameW
#define GetSaveFileNameW HandheldGetSaveFileNameW
#define GetCommandLineW HandheldGetCommandLineW
#define SetForegroundWindow HandheldSetForegroundWindow
#define CreateWindowExW HandheldCreateWindowExW
#define LoadStringW HandheldLoadStringW
#define LoadIconW HandheldLoadIconW
#define LoadAcceleratorsW HandheldLoadAcceleratorsW
#define FindResourceW HandheldFindResourceW
#define LoadResource HandheldLoadResource
#endif
