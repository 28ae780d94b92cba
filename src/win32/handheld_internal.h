// What the shim's sources share: the program's resource tables by type and
// id, and the dialog template built from a table.
#pragma once

#include <vector>

#include "platform/resource_tables.h"
#include "win32/handheld_types.h"

/// The entry of `type` and `id` in the program's resource tables, or null.
const ResourceEntry* FindResourceEntry(WORD type, WORD id);

/// The string `id` of the tables, or null.
const char16_t* ResourceString(UINT id);

/// A DLGTEMPLATE (with its items) for DialogBoxIndirectParamW, from a table.
/// WS_EX_CAPTIONOKBTN becomes an OK button (IDOK) at the bottom right.
std::vector<WORD> BuildDialogTemplate(const DialogTemplate& dialog);

/// A popup menu with the items of `popup`, check marks included.
HMENU BuildPopupMenu(const PopupTemplate& popup);
