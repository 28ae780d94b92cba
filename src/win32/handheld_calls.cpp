// The calls whose desktop behaviour differs from the handheld's: the command
// line, bringing a window forward, the top-level window's frame, and the
// open-file dialog's record, folder and device paths.
#define WAYCONV_HANDHELD_SHIM
#include <string>

#include "host/file_stream.h"
#include "host/text.h"
#include "win32/desktop_look.h"
#include "win32/handheld_types.h"

namespace {

std::u16string g_command_line;

bool IsSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

// The device root with backslashes, as the file dialog returns paths.
std::u16string DialogRoot() {
  std::u16string root = Utf8ToUtf16(DeviceRoot());
  for (char16_t& c : root) {
    if (c == u'/') c = u'\\';
  }
  return root;
}

bool SameLetters(char16_t a, char16_t b) {
  auto lower = [](char16_t c) { return c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c; };
  return lower(a) == lower(b);
}

}  // namespace

char16_t* HandheldGetCommandLineW() { return g_command_line.data(); }

void SetCommandLine(const char16_t* text) { g_command_line = text != nullptr ? text : u""; }

BOOL HandheldSetForegroundWindow(HWND window) {
  window = reinterpret_cast<HWND>(reinterpret_cast<uintptr_t>(window) & ~uintptr_t{1});
  if (IsIconic(window)) ShowWindow(window, SW_RESTORE);
  return SetForegroundWindow(window);
}

HWND HandheldCreateWindowExW(DWORD ex_style, LPCWSTR class_name, LPCWSTR title, DWORD style, int x,
                             int y, int width, int height, HWND parent, HMENU menu,
                             HINSTANCE instance, void* param) {
  if (parent == nullptr && (style & ~WS_VISIBLE) == 0) style |= WS_OVERLAPPEDWINDOW;
  return CreateWindowExW(ex_style, class_name, title, style, x, y, width, height, parent, menu,
                         instance, param);
}

namespace {

BOOL RunFileDialog(HandheldOpenFileName* record, bool save) {
  if (record == nullptr || record->lStructSize != kOpenFileNameSize || record->lpstrFile == nullptr ||
      record->nMaxFile == 0) {
    return FALSE;
  }
  // A device path opens the dialog in its folder under the device root.
  std::u16string name(record->lpstrFile);
  std::u16string folder;
  std::u16string root = DialogRoot();
  if (!name.empty() && name[0] == u'\\') {
    std::u16string host = root + name;
    size_t cut = host.find_last_of(u"\\/");
    folder = host.substr(0, cut);
    name = host.substr(cut + 1);
  }
  std::u16string buffer(record->nMaxFile, u'\0');
  name.copy(buffer.data(), name.size() < buffer.size() ? name.size() : buffer.size() - 1);

  OPENFILENAMEW desktop = {};
  desktop.lStructSize = sizeof desktop;
  desktop.hwndOwner = record->hwndOwner;
  std::u16string filters = DesktopFilters(record->lpstrFilter);
  desktop.lpstrFilter = DesktopText(filters.c_str());
  desktop.nFilterIndex = record->nFilterIndex;
  desktop.lpstrFile = DesktopText(buffer.data());
  desktop.nMaxFile = record->nMaxFile;
  desktop.lpstrInitialDir = folder.empty() ? nullptr : DesktopText(folder.c_str());
  desktop.lpstrTitle = record->lpstrTitle != nullptr ? DesktopText(record->lpstrTitle) : nullptr;
  // One file at a time here: the answer is mapped back as one path.
  desktop.Flags = (record->Flags & ~static_cast<DWORD>(OFN_ALLOWMULTISELECT)) | OFN_NOCHANGEDIR |
                  OFN_EXPLORER | OFN_HIDEREADONLY;
  if (!(save ? GetSaveFileNameW(&desktop) : GetOpenFileNameW(&desktop))) return FALSE;

  // A file under the device root goes back as a device path.
  std::u16string chosen(buffer.c_str());
  bool under_root = chosen.size() > root.size() && IsSeparator(chosen[root.size()]);
  for (size_t i = 0; under_root && i < root.size(); ++i) {
    under_root = SameLetters(chosen[i], root[i]);
  }
  if (under_root) chosen = chosen.substr(root.size());
  if (chosen.size() >= record->nMaxFile) return FALSE;
  chosen.copy(record->lpstrFile, chosen.size());
  record->lpstrFile[chosen.size()] = 0;
  record->nFilterIndex = HandheldFilterIndex(record->lpstrFilter, desktop.nFilterIndex, chosen,
                                             record->nFilterIndex);
  return TRUE;
}

}  // namespace

BOOL HandheldGetOpenFileNameW(HandheldOpenFileName* record) { return RunFileDialog(record, false); }

BOOL HandheldGetSaveFileNameW(HandheldOpenFileName* record) { return RunFileDialog(record, true); }
