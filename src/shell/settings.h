// The two settings that outlive the program, the output path and the track
// break switch, kept in the registry under HKEY_CURRENT_USER\Software\Brivex\Wayconv:
//
//   "OutputFile"  REG_SZ     OutputPath, terminator included
//   "DoSplit"     REG_DWORD  DoSplit
//   "StrictInput" REG_DWORD  StrictInput: nonzero turns the reading fallbacks
//                            off; read at load, never written
//
// Every registry failure is silent; the values in memory then stand.
#pragma once

#include "platform/win_types.h"

/// The settings key below HKEY_CURRENT_USER.
inline constexpr char16_t kSettingsKey[] = u"Software\\Brivex\\Wayconv";

/// Updates OutputPath, DoSplit and StrictInput from the values stored valid.
/// Returns the status of opening the key when that fails, else that of
/// closing it.
int LoadSettings();

/// Stores OutputPath and DoSplit, creating the key when needed.
void SaveSettings();

/// The REG_DWORD `name` of `key` when one of 4 bytes is stored, else `default_value`.
int ReadDwordSetting(HKEY key, const char16_t* name, int default_value);
