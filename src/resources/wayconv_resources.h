// The program's resources: strings, the Tools menu and the menu bar, the
// accelerators, the About dialog, the icon and the high-resolution flag, as
// constant tables behind the program's instance handle.
#pragma once

#include "platform/resource_api.h"
#include "resources/resource_ids.h"

/// The instance whose directory holds the program's resources.
HINSTANCE WayconvInstance();

/// The directory itself, for tests that walk every entry.
const ResourceDirectory& WayconvResources();
