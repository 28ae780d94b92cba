// How the window reads on the desktop: the log in the system's message font,
// smoothed with ClearType, inside a margin, both at the window's own DPI;
// the dialogs in the same font; and the file dialogs' types named as Windows
// names them.
#define WAYCONV_HANDHELD_SHIM
#include "win32/desktop_look.h"

#include <cwchar>

#include "win32/handheld_types.h"

namespace {

constexpr int kDefaultDpi = 96;
constexpr int kLogMarginAt96Dpi = 8;

// The message font of the DPI it was made for; remade when the DPI or the
// system's metrics change.
HFONT g_message_font = nullptr;
UINT g_message_font_dpi = 0;

// The calls of Windows 10 1607 and later, looked up so that the program still
// starts where they are missing (it then scales by the screen's DPI).
using GetDpiForWindowCall = UINT(WINAPI*)(HWND);
using MetricsForDpiCall = BOOL(WINAPI*)(UINT, UINT, void*, UINT, UINT);

template <typename Call>
Call User32Call(const char* name) {
  HMODULE user32 = GetModuleHandleW(L"user32.dll");
  if (user32 == nullptr) return nullptr;
  return reinterpret_cast<Call>(reinterpret_cast<void*>(GetProcAddress(user32, name)));
}

UINT ScreenDpi() {
  HDC screen = GetDC(nullptr);
  int dpi = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
  if (screen != nullptr) ReleaseDC(nullptr, screen);
  return dpi > 0 ? static_cast<UINT>(dpi) : kDefaultDpi;
}

// The system's message font as a LOGFONT of `dpi`: ClearType quality.
bool MessageLogFont(UINT dpi, LOGFONTW* font) {
  NONCLIENTMETRICSW metrics = {};
  metrics.cbSize = sizeof metrics;
  static const auto for_dpi = User32Call<MetricsForDpiCall>("SystemParametersInfoForDpi");
  if (for_dpi != nullptr && for_dpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, dpi)) {
    *font = metrics.lfMessageFont;
  } else if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
    *font = metrics.lfMessageFont;
    font->lfHeight = MulDiv(font->lfHeight, static_cast<int>(dpi), static_cast<int>(ScreenDpi()));
  } else {
    return false;
  }
  font->lfQuality = CLEARTYPE_QUALITY;
  return true;
}

}  // namespace

UINT WindowDpi(HWND window) {
  static const auto for_window = User32Call<GetDpiForWindowCall>("GetDpiForWindow");
  UINT dpi = for_window != nullptr && window != nullptr ? for_window(window) : 0;
  return dpi != 0 ? dpi : ScreenDpi();
}

int ScaleForDpi(int pixels_at_96, UINT dpi) {
  return MulDiv(pixels_at_96, static_cast<int>(dpi), kDefaultDpi);
}

HFONT MessageFont(UINT dpi) {
  if (g_message_font != nullptr && g_message_font_dpi == dpi) return g_message_font;
  LOGFONTW logical = {};
  if (!MessageLogFont(dpi, &logical)) return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  HFONT made = CreateFontIndirectW(&logical);
  if (made == nullptr) return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  ForgetMessageFont();
  g_message_font = made;
  g_message_font_dpi = dpi;
  return g_message_font;
}

void ForgetMessageFont() {
  if (g_message_font != nullptr) DeleteObject(g_message_font);
  g_message_font = nullptr;
  g_message_font_dpi = 0;
}

bool DialogFont(std::u16string* face, WORD* points) {
  UINT dpi = ScreenDpi();
  LOGFONTW logical = {};
  if (!MessageLogFont(dpi, &logical) || logical.lfFaceName[0] == 0) return false;
  int height = logical.lfHeight < 0 ? -logical.lfHeight : logical.lfHeight;
  int rounded = MulDiv(height, 72, static_cast<int>(dpi));
  if (rounded <= 0 || rounded > 72) return false;
  const wchar_t* name = logical.lfFaceName;
  face->assign(name, name + wcsnlen(name, LF_FACESIZE));
  *points = static_cast<WORD>(rounded);
  return true;
}

int DrawTextW(HDC dc, const char16_t* text, int count, RECT* rect, UINT format) {
  HWND window = WindowFromDC(dc);
  UINT dpi = WindowDpi(window);
  RECT inside = *rect;
  int margin = ScaleForDpi(kLogMarginAt96Dpi, dpi);
  InflateRect(&inside, -margin, -margin);
  HGDIOBJ before = SelectObject(dc, MessageFont(dpi));
  int old_mode = SetBkMode(dc, TRANSPARENT);
  // A name with "&" in it shows the "&": no mnemonic underlines in a log.
  int height = DrawTextW(dc, DesktopText(text), count, &inside, format | DT_NOPREFIX);
  SetBkMode(dc, old_mode);
  SelectObject(dc, before);
  if ((format & DT_CALCRECT) != 0) {
    // The text's measure, with the margin around it.
    InflateRect(&inside, margin, margin);
    *rect = inside;
  }
  return height;
}

std::u16string DesktopFilters(const char16_t* filters) {
  std::u16string out;
  for (const char16_t* name = filters; name != nullptr && *name != 0;) {
    std::u16string kind(name);
    const char16_t* pattern = name + kind.size() + 1;
    std::u16string patterns(pattern);
    name = pattern + patterns.size() + 1;
    // The shell's own "All files" is the one added last, as Windows names it.
    if (patterns == u"*") continue;
    if (kind == u"bin") {
      out += u"Track files";
    } else if (kind == u"geojson") {
      out += u"GeoJSON files";
    } else if (kind == u"kml") {
      out += u"KML and KMZ files";
    } else {
      for (char16_t c : kind) out += c >= u'a' && c <= u'z' ? char16_t(c - 32) : c;
      out += u" files";
    }
    out += u" (" + patterns + u")";
    out += u'\0';
    out += patterns;
    out += u'\0';
  }
  out += u"All files (*.*)";
  out += u'\0';
  out += u"*.*";
  out += u'\0';
  return out;
}

namespace {

bool EndsWithPattern(const std::u16string& file, const std::u16string& pattern) {
  // Patterns of the form "*.ext": the file's name ends in ".ext", any case.
  if (pattern.size() < 3 || pattern[0] != u'*' || pattern[1] != u'.') return false;
  std::u16string ending = pattern.substr(1);
  if (file.size() <= ending.size()) return false;
  for (size_t i = 0; i < ending.size(); ++i) {
    char16_t a = file[file.size() - ending.size() + i];
    char16_t b = ending[i];
    auto lower = [](char16_t c) { return c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c; };
    if (lower(a) != lower(b)) return false;
  }
  return true;
}

}  // namespace

DWORD HandheldFilterIndex(const char16_t* filters, DWORD chosen, const std::u16string& file,
                          DWORD before) {
  DWORD count = 0;
  DWORD by_name = 0;
  for (const char16_t* name = filters; name != nullptr && *name != 0;) {
    std::u16string kind(name);
    const char16_t* pattern = name + kind.size() + 1;
    std::u16string patterns(pattern);
    name = pattern + patterns.size() + 1;
    ++count;
    if (by_name == 0 && EndsWithPattern(file, patterns)) by_name = count;
  }
  if (chosen >= 1 && chosen <= count) return chosen;
  // "All files", or none: the kind of the file's extension, else as before.
  return by_name != 0 ? by_name : before;
}
