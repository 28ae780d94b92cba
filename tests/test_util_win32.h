// Test helpers of the Windows build only.
#pragma once

#include <string>

/// Removes `path` and everything in it, also past MAX_PATH. False when
/// something stayed.
bool RemoveTree(const std::string& path);
