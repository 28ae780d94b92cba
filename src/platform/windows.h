// The handheld API subset the shell is written against.
#pragma once

#include "platform/command_line.h"
#include "platform/dialog_api.h"
#include "platform/resource_api.h"
#include "platform/shell_api.h"
#include "platform/win_defs.h"
#include "platform/win_types.h"
#include "platform/window_api.h"
