// The settings that outlive the program, the output path, the track break
// switch and the thinning mode, kept in the registry under
// HKEY_CURRENT_USER\Software\Brivex\Wayconv:
//
//   "OutputFile"  REG_SZ     OutputPath, terminator included
//   "DoSplit"     REG_DWORD  DoSplit
//   "ThinShape"   REG_DWORD  ThinShape: 0 thins evenly, as the device; 1 by shape
//   "StrictInput" REG_DWORD  StrictInput: nonzero turns the reading fallbacks
//                            off; read at load, never written
//
// Every registry failure is silent in the window; the values in memory then
// stand. Why the last save failed is kept for the program to say once the
// screen is given back.
#pragma once

#include "platform/win_types.h"

/// The settings key below HKEY_CURRENT_USER.
inline constexpr char16_t kSettingsKey[] = u"Software\\Brivex\\Wayconv";

/// Updates OutputPath, DoSplit, ThinShape and StrictInput from the values
/// stored valid.
/// Returns the status of opening the key when that fails, else that of
/// closing it.
int LoadSettings();

/// Stores OutputPath, DoSplit and ThinShape, creating the key when needed.
void SaveSettings();

/// The errno of what made the last SaveSettings fail; 0 when it succeeded
/// or none ran.
int SettingsSaveError();

/// The REG_DWORD `name` of `key` when one of 4 bytes is stored, else `default_value`.
int ReadDwordSetting(HKEY key, const char16_t* name, int default_value);
