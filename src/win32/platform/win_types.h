// On Windows the handheld API's types are the real ones: see win32/handheld_types.h.
#pragma once

#include "win32/handheld_types.h"
