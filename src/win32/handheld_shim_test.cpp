// The shim on the real Win32 API: the menu bar as the shell expects it, the
// About dialog made from its table, strings, accelerators, and the calls that
// behave differently on the desktop. Needs a display (Xvfb under Wine).
#define WAYCONV_HANDHELD_SHIM
#include <string>

#include "host/text.h"
#include "resources/resource_ids.h"
#include "test_util.h"
#include "win32/handheld_internal.h"

namespace {

// What the window procedure behind the menu bar saw last.
UINT g_seen_message = 0;
LPARAM g_seen_lparam = 0;

LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_INITMENUPOPUP) {
    g_seen_message = message;
    g_seen_lparam = lparam;
    return 0;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

INT_PTR CALLBACK QuietDialogProc(HWND, UINT message, WPARAM, LPARAM) {
  return message == WM_INITDIALOG ? TRUE : FALSE;
}

std::string MenuText(HMENU menu, UINT item, UINT by) {
  wchar_t text[100] = {};
  GetMenuStringW(menu, item, text, 100, by);
  std::wstring wide(text);
  return Utf16ToUtf8(std::u16string(wide.begin(), wide.end()));
}

std::string ItemText(HWND dialog, int id) {
  wchar_t text[100] = {};
  GetDlgItemTextW(dialog, id, text, 100);
  std::wstring wide(text);
  return Utf16ToUtf8(std::u16string(wide.begin(), wide.end()));
}

class HandheldShimTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WNDCLASSW window_class = {};
    window_class.lpfnWndProc = RecordingProc;
    window_class.hInstance = GetModuleHandleW(nullptr);
    window_class.lpszClassName = L"WayconvShimTest";
    RegisterClassW(&window_class);
    window_ = CreateWindowExW(0, L"WayconvShimTest", L"shim", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200,
                              nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (window_ == nullptr) GTEST_SKIP() << "no display to make windows on";
  }
  void TearDown() override {
    if (window_ != nullptr) DestroyWindow(window_);
  }
  HWND window_ = nullptr;
};

TEST_F(HandheldShimTest, MenuBarIsTheWindowsMenuWithTheHandheldsPopupMessage) {
  SHMENUBARINFO bar = {};
  bar.cbSize = kMenuBarInfoSize - 1;
  bar.hwndParent = window_;
  bar.nToolBarId = kMenuBarMain;
  EXPECT_FALSE(SHCreateMenuBar(&bar));  // the handheld's record size only
  bar.cbSize = kMenuBarInfoSize;
  ASSERT_TRUE(SHCreateMenuBar(&bar));
  EXPECT_EQ(bar.hwndMB, nullptr);

  HMENU menu = GetMenu(window_);
  ASSERT_NE(menu, nullptr);
  ASSERT_EQ(GetMenuItemCount(menu), 2);
  EXPECT_EQ(MenuText(menu, 0, MF_BYPOSITION), "Open file");
  EXPECT_EQ(GetMenuItemID(menu, 0), kCmdOpenFile);
  EXPECT_EQ(MenuText(menu, 1, MF_BYPOSITION), "Tools");
  HMENU tools = GetSubMenu(menu, 1);
  ASSERT_NE(tools, nullptr);
  const char* items[] = {"Set output file", "", "Break track at 1000 m space",
                         "Keep shape when thinning", "", "About", "", "Exit"};
  ASSERT_EQ(GetMenuItemCount(tools), 8);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(MenuText(tools, i, MF_BYPOSITION), items[i]) << i;
  EXPECT_EQ(GetMenuState(tools, kCmdBreakTrack, MF_BYCOMMAND) & MF_CHECKED, UINT{MF_CHECKED});
  EXPECT_EQ(GetMenuState(tools, 1, MF_BYPOSITION) & MF_SEPARATOR, UINT{MF_SEPARATOR});

  // The desktop says "popup at position 1"; the shell hears the Tools
  // button's command, as on the handheld. Other popups pass unchanged.
  SendMessageW(window_, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(tools), MAKELPARAM(1, FALSE));
  EXPECT_EQ(g_seen_message, UINT{WM_INITMENUPOPUP});
  EXPECT_EQ(g_seen_lparam, MAKELPARAM(kCmdToolsButton, 0));
  SendMessageW(window_, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(menu), MAKELPARAM(1, FALSE));
  EXPECT_EQ(g_seen_lparam, MAKELPARAM(1, FALSE));

  // One bar per window; once the window is gone, the next one gets its own.
  EXPECT_FALSE(SHCreateMenuBar(&bar));
  DestroyWindow(window_);
  window_ = CreateWindowExW(0, L"WayconvShimTest", L"shim", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200,
                            nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(window_, nullptr);
  bar.hwndParent = window_;
  EXPECT_TRUE(SHCreateMenuBar(&bar));
  EXPECT_EQ(GetMenuItemCount(GetMenu(window_)), 2);
}

TEST_F(HandheldShimTest, AboutDialogFromItsTableWithAnOkButton) {
  HRSRC found = HandheldFindResourceW(nullptr, MAKEINTRESOURCEW(kDialogAbout), RT_DIALOG);
  ASSERT_NE(found, nullptr);
  auto dialog_template = static_cast<LPCDLGTEMPLATEW>(HandheldLoadResource(nullptr, found));
  ASSERT_NE(dialog_template, nullptr);
  EXPECT_EQ(dialog_template->dwExtendedStyle, 0u);  // no caption OK on the desktop
  HWND dialog = CreateDialogIndirectParamW(GetModuleHandleW(nullptr), dialog_template, window_,
                                           QuietDialogProc, 0);
  ASSERT_NE(dialog, nullptr);
  wchar_t caption[100] = {};
  GetWindowTextW(dialog, caption, 100);
  EXPECT_EQ(std::wstring(caption), L"About Wayconv");
  EXPECT_EQ(ItemText(dialog, kAboutVersionText), "Wayconv V1.20");
  EXPECT_NE(ItemText(dialog, kAboutNotice1), "");
  EXPECT_NE(ItemText(dialog, kAboutNotice3), "");
  EXPECT_EQ(ItemText(dialog, IDOK), "OK");

  SHINITDLGINFO init = {};
  init.hDlg = dialog;
  EXPECT_FALSE(SHInitDialog(&init));
  init.dwMask = SHIDIM_FLAGS;
  EXPECT_TRUE(SHInitDialog(&init));
  DestroyWindow(dialog);
}

TEST(HandheldShim, StringsAcceleratorsAndRecords) {
  wchar_t text[100];
  EXPECT_EQ(HandheldLoadStringW(nullptr, kStringOpenFile, text, 100), 9);
  EXPECT_EQ(std::wstring(text), L"Open file");
  EXPECT_EQ(HandheldLoadStringW(nullptr, kStringOpenFile, text, 5), 4);  // cut, terminated
  EXPECT_EQ(std::wstring(text), L"Open");
  EXPECT_EQ(HandheldLoadStringW(nullptr, 9999, text, 100), 0);
  EXPECT_EQ(text[0], L'\0');

  HACCEL table = HandheldLoadAcceleratorsW(nullptr, MAKEINTRESOURCEW(kAcceleratorsMain));
  ASSERT_NE(table, nullptr);
  ACCEL entries[4];
  ASSERT_EQ(CopyAcceleratorTableW(table, entries, 4), 2);
  EXPECT_EQ(entries[0].key, 'A');
  EXPECT_EQ(entries[0].cmd, kCmdAbout);
  EXPECT_EQ(entries[1].key, 'Q');
  EXPECT_EQ(entries[1].cmd, kCmdCtrlQExit);
  EXPECT_EQ(entries[1].fVirt & (FVIRTKEY | FCONTROL), FVIRTKEY | FCONTROL);

  // Records of the handheld's sizes only, as on the device.
  HandheldOpenFileName record = {};
  record.lStructSize = sizeof(OPENFILENAMEW);
  char16_t file[16] = u"x";
  record.lpstrFile = file;
  record.nMaxFile = 16;
  EXPECT_FALSE(HandheldGetOpenFileNameW(&record));
  SHACTIVATEINFO activate = {};
  EXPECT_FALSE(SHHandleWMActivate(nullptr, 0, 0, &activate, 0));
  activate.cbSize = kActivateInfoSize;
  EXPECT_TRUE(SHHandleWMActivate(nullptr, 0, 0, &activate, 0));
  EXPECT_TRUE(SHHandleWMSettingChange(nullptr, 0, 0, &activate));

  SetCommandLine(u" \"C:\\tracks\\walk.plt\" ");
  EXPECT_EQ(std::u16string(HandheldGetCommandLineW()), u" \"C:\\tracks\\walk.plt\" ");
}

TEST_F(HandheldShimTest, ForegroundIdiomAndTheTopLevelFrame) {
  // The handheld raises a window with the lowest bit of its handle set.
  HWND marked = reinterpret_cast<HWND>(reinterpret_cast<uintptr_t>(window_) | 1);
  EXPECT_TRUE(HandheldSetForegroundWindow(marked));
  // A top-level window of style WS_VISIBLE alone gets a desktop frame.
  HWND framed = HandheldCreateWindowExW(0, L"WayconvShimTest", L"framed", 0, CW_USEDEFAULT,
                                        CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr,
                                        nullptr, GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(framed, nullptr);
  auto style = static_cast<DWORD>(GetWindowLongPtrW(framed, GWL_STYLE));
  EXPECT_EQ(style & WS_OVERLAPPEDWINDOW, DWORD{WS_OVERLAPPEDWINDOW});
  DestroyWindow(framed);
}

}  // namespace
