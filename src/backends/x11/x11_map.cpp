// Key, drop and size translation for the X11 backend.
#include "backends/x11/x11_map.h"

#define XK_MISCELLANY 1
#define XK_LATIN1 1
#define XK_XKB_KEYS 1
#include <X11/keysymdef.h>

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "host/text.h"

namespace {

constexpr int kDefaultDpi = 96;
constexpr int kMinDpi = 48;
constexpr int kMaxDpi = 480;

int Scaled(int pixels, int dpi) {
  return static_cast<int>(std::lround(static_cast<double>(pixels) * dpi / kDefaultDpi));
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The path of one file URI, or empty when the URI names no local file.
std::string PathOfUri(std::string_view uri, std::string_view host_name) {
  constexpr std::string_view kScheme = "file://";
  if (uri.size() < kScheme.size()) return std::string();
  for (size_t i = 0; i < kScheme.size(); ++i) {
    char c = uri[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != kScheme[i]) return std::string();
  }
  uri.remove_prefix(kScheme.size());
  size_t slash = uri.find('/');
  if (slash == std::string_view::npos) return std::string();
  std::string_view host = uri.substr(0, slash);
  if (!host.empty() && host != "localhost" && host != host_name) return std::string();
  std::string path;
  for (size_t i = slash; i < uri.size(); ++i) {
    if (uri[i] == '%' && i + 2 < uri.size() && HexValue(uri[i + 1]) >= 0 &&
        HexValue(uri[i + 2]) >= 0) {
      char byte = static_cast<char>(HexValue(uri[i + 1]) * 16 + HexValue(uri[i + 2]));
      if (byte == 0) return std::string();  // no path holds a NUL
      path += byte;
      i += 2;
    } else {
      path += uri[i];
    }
  }
  return path;
}

InputEvent Key(int virtual_key, int modifiers) {
  return InputEvent{kEventKey, virtual_key, modifiers, 0, 0, 0};
}

}  // namespace

bool KeysymToInput(unsigned long keysym, unsigned state, InputEvent* event) {
  int modifiers = ((state & kXControl) ? kModControl : 0) | ((state & kXShift) ? kModShift : 0) |
                  ((state & kXAlt) ? kModAlt : 0);
  int key = 0;
  switch (keysym) {
    case XK_F1: key = VK_F1; break;
    case XK_F2: key = VK_F2; break;
    case XK_Return:
    case XK_KP_Enter: key = VK_RETURN; break;
    case XK_Escape: key = VK_ESCAPE; break;
    case XK_Tab:
    case XK_ISO_Left_Tab: key = VK_TAB; break;
    case XK_BackSpace: key = VK_BACK; break;
    case XK_Up:
    case XK_KP_Up: key = VK_UP; break;
    case XK_Down:
    case XK_KP_Down: key = VK_DOWN; break;
    case XK_Prior:
    case XK_KP_Prior: key = VK_PRIOR; break;
    case XK_Next:
    case XK_KP_Next: key = VK_NEXT; break;
    case XK_Home:
    case XK_KP_Home: key = VK_HOME; break;
    case XK_End:
    case XK_KP_End: key = VK_END; break;
    case XK_Insert:
    case XK_KP_Insert: key = VK_INSERT; break;
    default: break;
  }
  if (key == 0) {
    if (keysym >= 'a' && keysym <= 'z') key = static_cast<int>(keysym - 'a' + 'A');
    else if (keysym >= 'A' && keysym <= 'Z') key = static_cast<int>(keysym);
    else if (keysym >= '0' && keysym <= '9') key = static_cast<int>(keysym);
    else return false;
  }
  *event = Key(key, modifiers);
  return true;
}

char32_t KeysymToCharacter(unsigned long keysym) {
  if ((keysym >= 0x20 && keysym <= 0x7E) || (keysym >= 0xA0 && keysym <= 0xFF)) {
    return static_cast<char32_t>(keysym);
  }
  // Unicode keysyms: 0x01000000 + the code point.
  if ((keysym & 0xFF000000UL) == 0x01000000UL) {
    unsigned long point = keysym & 0x00FFFFFFUL;
    bool usable = point >= 0x20 && point <= 0x10FFFF && !(point >= 0x7F && point < 0xA0) &&
                  !IsSurrogate(static_cast<char32_t>(point));
    return usable ? static_cast<char32_t>(point) : 0;
  }
  return 0;
}

std::vector<std::string> FilesOfUriList(std::string_view list, std::string_view host_name) {
  std::vector<std::string> paths;
  while (!list.empty()) {
    size_t end = list.find_first_of("\r\n");
    std::string_view line = list.substr(0, end);
    list.remove_prefix(end == std::string_view::npos ? list.size() : end + 1);
    while (!line.empty() && (line.back() == ' ' || line.back() == '\t')) line.remove_suffix(1);
    if (line.empty() || line[0] == '#') continue;
    std::string path = PathOfUri(line, host_name);
    if (!path.empty()) paths.push_back(std::move(path));
  }
  return paths;
}

std::string FirstFileOfUriList(std::string_view list, std::string_view host_name) {
  std::vector<std::string> paths = FilesOfUriList(list, host_name);
  return paths.empty() ? std::string() : paths.front();
}

int DpiFromResources(const char* resources) {
  if (resources == nullptr) return kDefaultDpi;
  // Lines of "name:\tvalue".
  const char* at = resources;
  while (at != nullptr && *at != 0) {
    const char* end = std::strchr(at, '\n');
    size_t length = end != nullptr ? static_cast<size_t>(end - at) : std::strlen(at);
    std::string_view line(at, length);
    at = end != nullptr ? end + 1 : nullptr;
    constexpr std::string_view kName = "Xft.dpi:";
    if (line.substr(0, kName.size()) != kName) continue;
    line.remove_prefix(kName.size());
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
    // Digits, perhaps a fraction: 96, 144, 192.5.
    int whole = 0;
    size_t i = 0;
    for (; i < line.size() && line[i] >= '0' && line[i] <= '9' && whole <= kMaxDpi; ++i) {
      whole = whole * 10 + (line[i] - '0');
    }
    if (i == 0) return kDefaultDpi;
    if (i < line.size() && line[i] == '.' && i + 1 < line.size() && line[i + 1] >= '5' &&
        line[i + 1] <= '9') {
      ++whole;
    }
    return whole >= kMinDpi && whole <= kMaxDpi ? whole : kDefaultDpi;
  }
  return kDefaultDpi;
}

int FontPixelsFor(int dpi) {
  return Scaled(15, dpi);
}

void DefaultWindowSize(int dpi, int* width, int* height) {
  *width = Scaled(480, dpi);
  *height = Scaled(640, dpi);
}

WindowMetrics MetricsFor(int cell_width, int cell_height, int dpi) {
  WindowMetrics m;
  m.cell_width = cell_width > 0 ? cell_width : 1;
  m.cell_height = cell_height > 0 ? cell_height : 1;
  m.margin = Scaled(8, dpi);
  m.title_height = m.cell_height + Scaled(14, dpi);
  m.bar_height = m.cell_height + Scaled(20, dpi);
  m.body_top = m.title_height + Scaled(6, dpi);
  m.line = Scaled(1, dpi) > 0 ? Scaled(1, dpi) : 1;
  return m;
}

void GridFor(const WindowMetrics& m, int width, int height, int* columns, int* rows) {
  int across = (width - 2 * m.margin) / m.cell_width;
  int body = (height - m.body_top - m.bar_height) / m.cell_height;
  *columns = across > 1 ? across : 1;
  *rows = 2 + (body > 1 ? body : 1);
}

void MinimumWindowSize(const WindowMetrics& m, int columns, int rows, int* width, int* height) {
  int body = rows - 2 > 1 ? rows - 2 : 1;
  *width = 2 * m.margin + (columns > 1 ? columns : 1) * m.cell_width;
  *height = m.body_top + m.bar_height + body * m.cell_height;
}

void RowBand(const WindowMetrics& m, int height, int rows, int row, int* top, int* band) {
  if (row <= 0) {
    *top = 0;
    *band = m.title_height;
  } else if (row >= rows - 1) {
    *top = height - m.bar_height;
    *band = m.bar_height;
  } else {
    *top = m.body_top + (row - 1) * m.cell_height;
    *band = m.cell_height;
  }
}

int LineTop(const WindowMetrics& m, int band_top, int band) {
  return band_top + band / 2 - m.line / 2;
}

void HighlightSpan(const WindowMetrics& m, int height, int rows, int row, bool line_above,
                   bool line_below, int* top, int* bottom) {
  int band_top = 0, band = 0;
  RowBand(m, height, rows, row, &band_top, &band);
  *top = band_top;
  *bottom = band_top + band;
  int next_top = 0, next_band = 0;
  if (line_above) {
    RowBand(m, height, rows, row - 1, &next_top, &next_band);
    *top = LineTop(m, next_top, next_band) + m.line;
  }
  if (line_below) {
    RowBand(m, height, rows, row + 1, &next_top, &next_band);
    *bottom = LineTop(m, next_top, next_band);
  }
}

void CellAt(const WindowMetrics& m, int width, int height, int columns, int rows, int x, int y,
            int* column, int* row) {
  (void)width;
  int at_row = 0;
  if (y < m.title_height) {
    at_row = 0;
  } else if (y >= height - m.bar_height) {
    at_row = rows - 1;
  } else {
    at_row = y < m.body_top ? 1 : 1 + (y - m.body_top) / m.cell_height;
    if (at_row > rows - 2) at_row = rows - 2;
    if (at_row < 1) at_row = 1;
  }
  int at_column = x < m.margin ? 0 : (x - m.margin) / m.cell_width;
  if (at_column >= columns) at_column = columns - 1;
  *column = at_column;
  *row = at_row;
}
