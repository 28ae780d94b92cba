// On Windows the handheld API is the real one, with a shim: see win32/handheld_api.h.
#pragma once

#include "win32/handheld_api.h"
