// On Windows the handheld API is the real one, with a shim: see
// win32/handheld_api.h. The resource tables are the platform's own.
#pragma once

#include "platform/resource_tables.h"
#include "win32/handheld_api.h"

/// What the tables' own instance handle points at (the Windows program
/// passes the module's real handle, which the shim's resource calls accept).
struct PlatformInstance {
  const ResourceDirectory* resources;
};
