// The headless backend's screen text, shared by its script.
#pragma once

#include "platform/backend.h"

/// The popup or open-file dialog on show, drawn over the screen text; null
/// when none is.
void SetHeadlessPopup(const MenuView* menu);
void SetHeadlessOpenFile(const OpenFileView* view);
