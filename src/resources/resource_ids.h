// The program's resource and command identifiers. They are fixed numbers the
// program was built with; other builds and saved layouts rely on them.
#pragma once

#include "platform/win_types.h"

/// Every resource carries this language tag.
constexpr WORD kResourceLanguage = 0x0419;

// Strings.
constexpr UINT kStringTitle = 1;         // "Wayconv", the window title
constexpr UINT kStringClassName = 2;     // "WAYCONV", the window class
constexpr UINT kStringExit = 103;        // "Exit" (kept, not used)
constexpr UINT kStringTools = 104;       // the right soft key
constexpr UINT kStringOpenFile = 32772;  // the left soft key

// Other resources.
constexpr WORD kIconApp = 101;
constexpr WORD kMenuTools = 102;  // menu and menu bar share the number
constexpr WORD kMenuBarMain = 102;
constexpr WORD kAcceleratorsMain = 2;
constexpr WORD kDialogAbout = 105;
constexpr WORD kHighResolutionAware = 1;  // the "CEUX" resource

// Commands.
constexpr WORD kCmdCtrlQExit = 40000;    // Ctrl+Q
constexpr WORD kCmdToolsButton = 40001;  // the "Tools" soft key's popup
constexpr WORD kCmdAbout = 40002;        // "About", Ctrl+A
constexpr WORD kCmdOpenFile = 40003;     // "Open file"; also posted at start-up
constexpr WORD kCmdSetOutputFile = 32773;
constexpr WORD kCmdExit = 32774;
constexpr WORD kCmdBreakTrack = 32776;  // "Break track at 1000 m space"
constexpr WORD kCmdKeepShape = 32777;   // "Keep shape when thinning"

// The About dialog's texts.
constexpr WORD kAboutVersionText = 202;
constexpr WORD kAboutNotice1 = 203;
constexpr WORD kAboutNotice2 = 204;
constexpr WORD kAboutNotice3 = 205;
