#include "resources/wayconv_resources.h"

namespace {

const StringResource kTitle = {u"Wayconv"};
const StringResource kClassName = {u"WAYCONV"};
const StringResource kExitText = {u"Exit"};
const StringResource kToolsText = {u"Tools"};
const StringResource kOpenFileText = {u"Open file"};

const MenuItemTemplate kToolsItems[] = {
    {u"Set output file", kCmdSetOutputFile, 0},
    {nullptr, 0, MF_SEPARATOR},
    {u"Break track at 1000 m space", kCmdBreakTrack, MF_CHECKED},
    {u"Keep shape when thinning", kCmdKeepShape, 0},
    {nullptr, 0, MF_SEPARATOR},
    {u"About", kCmdAbout, 0},
    {nullptr, 0, MF_SEPARATOR},
    {u"Exit", kCmdExit, 0},
};
const PopupTemplate kToolsPopups[] = {
    {u"Tools", kToolsItems, static_cast<int>(sizeof kToolsItems / sizeof kToolsItems[0])},
};
const MenuTemplate kToolsMenu = {kToolsPopups, 1};

const MenuBarButtonTemplate kBarButtons[] = {
    {I_IMAGENONE, kCmdOpenFile, TBSTATE_ENABLED, TBSTYLE_AUTOSIZE, kStringOpenFile, NOMENU},
    {I_IMAGENONE, kCmdToolsButton, TBSTATE_ENABLED, TBSTYLE_DROPDOWN | TBSTYLE_AUTOSIZE,
     kStringTools, 0},
};
const MenuBarTemplate kMainMenuBar = {kMenuTools, kBarButtons, 2};

const ACCEL kAccelEntries[] = {
    {FVIRTKEY | FCONTROL, 'A', kCmdAbout},
    {FVIRTKEY | FCONTROL, 'Q', kCmdCtrlQExit},
};
const AcceleratorTable kMainAccelerators = {kAccelEntries, 2};

// 156 x 129 dialog units; texts at the positions and sizes the layout has
// always had. Each notice line fits its 128-unit box (32 cells).
const DialogItemTemplate kAboutItems[] = {
    {kAboutVersionText, u"Wayconv V" WAYCONV_VERSION, SS_NOPREFIX, 12, 15, 70, 8},
    {kAboutNotice1, u"Converts GPX, MPS, PLT and NMEA", 0, 12, 27, 128, 8},
    {kAboutNotice2, u"tracks to the device track file.", 0, 12, 39, 128, 8},
    {kAboutNotice3, u"Help: run wayconv --help", 0, 12, 54, 128, 8},
};
const DialogTemplate kAboutDialog = {
    DS_MODALFRAME | DS_SETFONT | WS_POPUP | WS_CAPTION | WS_SYSMENU,
    WS_EX_CAPTIONOKBTN,
    0,
    0,
    156,
    129,
    u"About Wayconv",
    u"MS Sans Serif",
    8,
    kAboutItems,
    4,
};

const IconImage kIconImages[] = {{32, 32, 16}, {16, 16, 16}};
const IconResource kAppIcon = {kIconImages, 2};

const DWORD kHighResolution = 1;

const ResourceEntry kEntries[] = {
    {kRtString, nullptr, kStringTitle, kResourceLanguage, &kTitle},
    {kRtString, nullptr, kStringClassName, kResourceLanguage, &kClassName},
    {kRtString, nullptr, kStringExit, kResourceLanguage, &kExitText},
    {kRtString, nullptr, kStringTools, kResourceLanguage, &kToolsText},
    {kRtString, nullptr, kStringOpenFile, kResourceLanguage, &kOpenFileText},
    {kRtGroupIcon, nullptr, kIconApp, kResourceLanguage, &kAppIcon},
    {kRtMenu, nullptr, kMenuTools, kResourceLanguage, &kToolsMenu},
    {kRtRcData, nullptr, kMenuBarMain, kResourceLanguage, &kMainMenuBar},
    {kRtAccelerator, nullptr, kAcceleratorsMain, kResourceLanguage, &kMainAccelerators},
    {kRtDialog, nullptr, kDialogAbout, kResourceLanguage, &kAboutDialog},
    {0, u"CEUX", kHighResolutionAware, kResourceLanguage, &kHighResolution},
};

const ResourceDirectory kDirectory = {kEntries,
                                      static_cast<int>(sizeof kEntries / sizeof kEntries[0])};

PlatformInstance g_instance = {&kDirectory};

}  // namespace

HINSTANCE WayconvInstance() {
  return reinterpret_cast<HINSTANCE>(&g_instance);  // the instance type of the host
}

const ResourceDirectory& WayconvResources() {
  return kDirectory;
}
