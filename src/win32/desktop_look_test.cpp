// How the window reads on the desktop: the file dialogs' types and their
// index back, the message font at a DPI, the log's margin, the dialog font,
// and F1 and F2 on the menu bar. The drawing and window tests need a display
// (Xvfb under Wine).
#define WAYCONV_HANDHELD_SHIM
#include "win32/desktop_look.h"

#include <string>

#include "resources/resource_ids.h"
#include "test_util.h"
#include "win32/handheld_internal.h"

namespace {

// The shell's filter lists, as the handheld takes them.
constexpr char16_t kInputs[] = u"gpx\0*.gpx\0mps\0*.mps\0plt\0*.plt\0nmea\0*.nmea\0";
constexpr char16_t kOutputs[] = u"bin\0*.bin\0";

// A double-zero-ended list as its texts, each ended by "|".
std::u16string Pairs(const std::u16string& list) {
  std::u16string out;
  for (char16_t c : list) out += c == 0 ? u'|' : c;
  return out;
}

TEST(DesktopFilters, NamedAsWindowsNamesThemWithAllFilesLast) {
  EXPECT_EQ(Pairs(DesktopFilters(kInputs)),
            u"GPX files (*.gpx)|*.gpx|MPS files (*.mps)|*.mps|PLT files (*.plt)|*.plt|"
            u"NMEA files (*.nmea)|*.nmea|All files (*.*)|*.*|");
  EXPECT_EQ(Pairs(DesktopFilters(kOutputs)), u"Track files (*.bin)|*.bin|All files (*.*)|*.*|");
  // The shell's own "All files" stands last as Windows names it; the kinds
  // whose names are not read out letter by letter keep their usual names.
  EXPECT_EQ(Pairs(DesktopFilters(u"kml\0*.kml;*.kmz\0geojson\0*.geojson\0All files\0*\0")),
            u"KML and KMZ files (*.kml;*.kmz)|*.kml;*.kmz|GeoJSON files (*.geojson)|*.geojson|"
            u"All files (*.*)|*.*|");
  EXPECT_EQ(Pairs(DesktopFilters(u"")), u"All files (*.*)|*.*|");
  EXPECT_EQ(Pairs(DesktopFilters(nullptr)), u"All files (*.*)|*.*|");
}

TEST(DesktopFilters, TheIndexBackIsTheKindChosenOrTheFilesUnderAllFiles) {
  struct Case {
    DWORD chosen;
    const char16_t* file;
    DWORD before;
    DWORD expected;
  };
  const Case cases[] = {
      {1, u"C:\\t\\walk.plt", 3, 1},   // a type of the list wins over the extension
      {4, u"C:\\t\\walk.gpx", 1, 4},
      {5, u"C:\\t\\drive.NMEA", 1, 4}, // All files: by extension, any case
      {5, u"C:\\t\\hike.mps", 4, 2},
      {5, u"C:\\t\\walk.txt", 3, 3},   // no kind of its own: as before
      {5, u"C:\\t\\gpx", 2, 2},        // a name, not an extension
      {5, u".gpx", 2, 2},              // nothing before the extension
      {0, u"C:\\t\\walk.plt", 1, 3},   // no type said
  };
  for (const Case& c : cases) {
    EXPECT_EQ(HandheldFilterIndex(kInputs, c.chosen, c.file, c.before), c.expected)
        << std::string(c.file, c.file + std::char_traits<char16_t>::length(c.file)) << " "
        << c.chosen;
  }
}

TEST(DesktopLook, MessageFontFollowsTheDpiWithClearType) {
  NONCLIENTMETRICSW metrics = {};
  metrics.cbSize = sizeof metrics;
  ASSERT_TRUE(SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0));
  ForgetMessageFont();
  LOGFONTW at96 = {};
  LOGFONTW at192 = {};
  ASSERT_NE(GetObjectW(MessageFont(96), sizeof at96, &at96), 0);
  EXPECT_EQ(std::wstring(at96.lfFaceName), std::wstring(metrics.lfMessageFont.lfFaceName));
  EXPECT_EQ(at96.lfQuality, CLEARTYPE_QUALITY);
  HFONT kept = MessageFont(96);
  EXPECT_EQ(MessageFont(96), kept);  // made once per DPI
  ASSERT_NE(GetObjectW(MessageFont(192), sizeof at192, &at192), 0);
  int height96 = at96.lfHeight < 0 ? -at96.lfHeight : at96.lfHeight;
  int height192 = at192.lfHeight < 0 ? -at192.lfHeight : at192.lfHeight;
  EXPECT_NEAR(height192, 2 * height96, 1);
  ForgetMessageFont();
  EXPECT_EQ(ScaleForDpi(8, 96), 8);
  EXPECT_EQ(ScaleForDpi(8, 144), 12);

  std::u16string face;
  WORD points = 0;
  ASSERT_TRUE(DialogFont(&face, &points));
  EXPECT_EQ(face, std::u16string(metrics.lfMessageFont.lfFaceName,
                                 metrics.lfMessageFont.lfFaceName +
                                     wcslen(metrics.lfMessageFont.lfFaceName)));
  EXPECT_GE(points, 6);
  EXPECT_LE(points, 16);
}

TEST(DesktopLook, LogDrawsInsideAMarginAndShowsAmpersands) {
  HDC screen = GetDC(nullptr);
  if (screen == nullptr) GTEST_SKIP() << "no display";
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, 200, 60);
  ReleaseDC(nullptr, screen);
  HGDIOBJ before = SelectObject(dc, bitmap);
  RECT all = {0, 0, 200, 60};
  FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  RECT rect = all;
  DrawTextW(dc, u"\u2588\u2588\u2588 A&B", -1, &rect, 0);
  int margin = ScaleForDpi(8, WindowDpi(nullptr));
  auto inked = [&](int x, int y) { return GetPixel(dc, x, y) != RGB(255, 255, 255); };
  bool ink_in_margin = false;
  bool ink_inside = false;
  for (int y = 0; y < 60; ++y) {
    for (int x = 0; x < 200; ++x) {
      bool in_margin = x < margin || y < margin;
      if (inked(x, y)) (in_margin ? ink_in_margin : ink_inside) = true;
    }
  }
  EXPECT_FALSE(ink_in_margin);
  EXPECT_TRUE(ink_inside);
  // "&" drawn as itself, not as an underline under "B": the measure of all
  // three letters, and the margin around them.
  SIZE with_ampersand = {};
  SelectObject(dc, MessageFont(WindowDpi(nullptr)));
  GetTextExtentPoint32W(dc, L"A&B", 3, &with_ampersand);
  RECT measured = all;
  DrawTextW(dc, u"A&B", -1, &measured, DT_CALCRECT);
  EXPECT_EQ(measured.right - measured.left, with_ampersand.cx + 2 * margin);
  SelectObject(dc, before);
  DeleteObject(bitmap);
  DeleteDC(dc);
  ForgetMessageFont();
}

// What the window behind the menu bar saw.
UINT g_command = 0;
LPARAM g_popup_lparam = 0;

LRESULT CALLBACK SoftKeyProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_COMMAND) g_command = LOWORD(wparam);
  if (message == WM_INITMENUPOPUP) {
    g_popup_lparam = lparam;
    EndMenu();  // the popup opened: close it again
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

TEST(DesktopLook, F1AndF2PressTheSoftKeys) {
  WNDCLASSW window_class = {};
  window_class.lpfnWndProc = SoftKeyProc;
  window_class.hInstance = GetModuleHandleW(nullptr);
  window_class.lpszClassName = L"WayconvSoftKeyTest";
  RegisterClassW(&window_class);
  HWND window = CreateWindowExW(0, L"WayconvSoftKeyTest", L"keys", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                0, 0, 300, 200, nullptr, nullptr, GetModuleHandleW(nullptr),
                                nullptr);
  if (window == nullptr) GTEST_SKIP() << "no display to make windows on";
  SHMENUBARINFO bar = {};
  bar.cbSize = kMenuBarInfoSize;
  bar.hwndParent = window;
  bar.nToolBarId = kMenuBarMain;
  ASSERT_TRUE(SHCreateMenuBar(&bar));

  // F1: the left soft key, "Open file", a command.
  g_command = 0;
  SendMessageW(window, WM_KEYDOWN, VK_F1, 0);
  MSG message;
  while (PeekMessageW(&message, window, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
  EXPECT_EQ(g_command, UINT{kCmdOpenFile});

  // F2: the right one, "Tools", opens its popup; the shell hears the button's
  // command as on the handheld.
  g_popup_lparam = 0;
  SendMessageW(window, WM_KEYDOWN, VK_F2, 0);
  EXPECT_EQ(g_popup_lparam, MAKELPARAM(kCmdToolsButton, 0));
  DestroyWindow(window);
}

}  // namespace
