// The open-file dialog in the window, full screen as on the device and laid
// out as on the terminal:
//
//   Open                                   OK    title; OK chooses
//   /home/user/tracks                            the folder shown
//    ../                                         its list: folders, then
//    walk.gpx                                    files under the filter
//   Name: walk.gpx                               the name line
//   Type: [gpx]  mps   plt   nmea                the filters (Tab cycles)
//   Enter:open Tab:type Esc:cancel               keys, or what went wrong
//
// The listing, the name line and what Enter does are the platform's chooser;
// this file draws them and turns keys, clicks and the wheel into its steps.
#include <string>

#include "backends/x11/x11_internal.h"
#include "backends/x11/x11_map.h"
#include "platform/file_chooser.h"
#include "platform/text.h"
#include "platform/window_internal.h"

namespace {

constexpr int kWheelStep = 3;

struct FileDialog {
  OpenFileView* view;
  ChooserState chooser;
  int highlighted;      // index into chooser.entries
  int top;              // the first entry in view
  const char* message;  // why the last Enter was refused, until the next key
};

FileDialog* g_dialog = nullptr;

struct Layout {
  int list_top;
  int list_rows;
  int name_row;
  int type_row;
  int hint_row;
};

Layout LayoutNow() {
  int rows = TheCanvas().rows;
  int columns = 0;
  WindowGrid(&columns, &rows);
  Layout layout;
  layout.list_top = 2;
  layout.list_rows = rows - 5 > 1 ? rows - 5 : 1;
  layout.name_row = rows - 3;
  layout.type_row = rows - 2;
  layout.hint_row = rows - 1;
  return layout;
}

// The filter row, with where each filter's name sits on it.
std::u16string TypeLine(const OpenFileView* view, int* starts, int* ends) {
  std::u16string line = u"Type:";
  for (int i = 0; i < view->filter_count && i < kMaxFileFilters; ++i) {
    bool selected = i + 1 == view->filter_index;
    line += u' ';
    starts[i] = static_cast<int>(line.size());
    line += selected ? u"[" : u" ";
    line += view->filters[i].name;
    line += selected ? u"]" : u" ";
    ends[i] = static_cast<int>(line.size());
  }
  return line;
}

std::u16string_view Pattern(const OpenFileView* view) {
  if (view->filter_index < 1 || view->filter_index > view->filter_count) return u"*";
  return view->filters[view->filter_index - 1].pattern;
}

std::u16string EntryText(const ChooserEntry& entry) {
  std::u16string text = Utf8ToUtf16(entry.name);
  if (entry.folder) text += u'/';
  return text;
}

void Relist(FileDialog* dialog) {
  ListChooserFolder(&dialog->chooser, Pattern(dialog->view));
  dialog->highlighted = FirstChooserEntry(dialog->chooser);
  dialog->top = 0;
}

void Highlight(FileDialog* dialog, int index) {
  int count = static_cast<int>(dialog->chooser.entries.size());
  if (count == 0) return;
  if (index < 0) index = 0;
  if (index >= count) index = count - 1;
  dialog->highlighted = index;
  const ChooserEntry& entry = dialog->chooser.entries[static_cast<size_t>(index)];
  dialog->chooser.name = entry.folder ? std::u16string() : Utf8ToUtf16(entry.name);
}

// Enter: 1 when a file was chosen (and written into the view), else -1.
int Enter(FileDialog* dialog) {
  ChooserOutcome outcome =
      ChooserEnter(&dialog->chooser, dialog->highlighted, dialog->view->must_exist != 0);
  if (outcome.action == kChooserOpened) {
    Relist(dialog);
    return -1;
  }
  if (outcome.action == kChooserChosen) {
    if (outcome.path.size() < static_cast<size_t>(dialog->view->file_capacity)) {
      CopyWide(dialog->view->file, static_cast<size_t>(dialog->view->file_capacity), outcome.path);
      return 1;
    }
    outcome.message = "Name too long";
  }
  dialog->message = outcome.message;
  return -1;
}

void Type(FileDialog* dialog, char32_t code) {
  std::u16string& name = dialog->chooser.name;
  size_t room = static_cast<size_t>(dialog->view->file_capacity);
  if (code > 0xFFFF) {
    if (name.size() + 3 > room) return;
    char32_t point = code - 0x10000;
    name += static_cast<char16_t>(0xD800 + (point >> 10));
    name += static_cast<char16_t>(0xDC00 + (point & 0x3FF));
  } else {
    if (name.size() + 2 > room) return;
    name += static_cast<char16_t>(code);
  }
}

void Backspace(FileDialog* dialog) {
  std::u16string& name = dialog->chooser.name;
  if (name.empty()) {
    if (ChooserUp(&dialog->chooser)) Relist(dialog);
    return;
  }
  bool pair = name.size() >= 2 && name.back() >= 0xDC00 && name.back() <= 0xDFFF &&
              name[name.size() - 2] >= 0xD800 && name[name.size() - 2] <= 0xDBFF;
  name.resize(name.size() - (pair ? 2 : 1));
}

void NextFilter(FileDialog* dialog, int step) {
  OpenFileView* view = dialog->view;
  if (view->filter_count <= 0) return;
  view->filter_index = ((view->filter_index - 1 + step) % view->filter_count + view->filter_count) %
                           view->filter_count + 1;
  Relist(dialog);
}

void TakeKey(FileDialog* dialog, const WinEvent& event, const Layout& layout) {
  const InputEvent& key = event.key;
  int last = static_cast<int>(dialog->chooser.entries.size()) - 1;
  if (key.kind == kInputKey && (key.modifiers & kModControl) != 0) {
    if (key.key == 'U') dialog->chooser.name.clear();
    return;
  }
  if (key.kind == kInputKey) {
    switch (key.key) {
      case kVkBack: Backspace(dialog); return;
      case kVkTab: NextFilter(dialog, (key.modifiers & kModShift) ? -1 : 1); return;
      case kVkUp: Highlight(dialog, dialog->highlighted - 1); return;
      case kVkDown: Highlight(dialog, dialog->highlighted + 1); return;
      case kVkPrior: Highlight(dialog, dialog->highlighted - layout.list_rows); return;
      case kVkNext: Highlight(dialog, dialog->highlighted + layout.list_rows); return;
      case kVkHome: Highlight(dialog, 0); return;
      case kVkEnd: Highlight(dialog, last); return;
      default: break;
    }
  }
  if (event.character != 0) Type(dialog, event.character);
}

// -1 while the dialog goes on, 0 cancelled, 1 chosen.
int Handle(FileDialog* dialog, const WinEvent& event) {
  Layout layout = LayoutNow();
  if (IsEnterKey(event)) return Enter(dialog);
  if (IsEscapeKey(event) || event.kind == kWinClose || event.kind == kWinEnd) return 0;
  if (event.kind == kWinKey) {
    TakeKey(dialog, event, layout);
  } else if (event.kind == kWinResize) {
    HandleScreenResize();
  } else if (event.kind == kWinWheel) {
    Highlight(dialog, dialog->highlighted + event.wheel * kWheelStep);
  } else if (event.kind == kWinDrop) {
    // A file dropped on the input dialog is the choice.
    std::u16string path = Utf8ToUtf16(TakeDroppedPath());
    if (path.size() < static_cast<size_t>(dialog->view->file_capacity)) {
      CopyWide(dialog->view->file, static_cast<size_t>(dialog->view->file_capacity), path);
      return 1;
    }
  } else if (event.kind == kWinClick) {
    int index = dialog->top + event.row - layout.list_top;
    if (event.row == 0 && event.column >= TheCanvas().columns - 2) return Enter(dialog);
    if (event.row >= layout.list_top && event.row < layout.list_top + layout.list_rows &&
        index < static_cast<int>(dialog->chooser.entries.size())) {
      // A tap on an entry opens it, as on the device.
      Highlight(dialog, index);
      return Enter(dialog);
    }
    if (event.row == layout.type_row) {
      int starts[kMaxFileFilters];
      int ends[kMaxFileFilters];
      TypeLine(dialog->view, starts, ends);
      for (int i = 0; i < dialog->view->filter_count && i < kMaxFileFilters; ++i) {
        if (event.column >= starts[i] && event.column < ends[i]) {
          dialog->view->filter_index = i + 1;
          Relist(dialog);
        }
      }
    }
  }
  return -1;
}

}  // namespace

bool DrawFileDialog() {
  if (g_dialog == nullptr) return false;
  FileDialog* dialog = g_dialog;
  const ChooserState& chooser = dialog->chooser;
  int columns = 0;
  int rows = 0;
  WindowGrid(&columns, &rows);
  ClearCanvas(columns, rows);
  Canvas& canvas = TheCanvas();
  Layout layout = LayoutNow();

  CanvasText(0, 0, dialog->view->title, columns - 3, 0);
  CanvasText(0, columns - 2, u"OK", 2, 0);
  canvas.caption_ok = true;
  std::u16string folder = Utf8ToUtf16(chooser.folder);
  CanvasText(1, 0, std::u16string_view(folder).substr(CanvasTailThatFits(folder, columns)),
             columns, kCellDim);

  int count = static_cast<int>(chooser.entries.size());
  if (dialog->highlighted < dialog->top) dialog->top = dialog->highlighted;
  if (dialog->highlighted >= dialog->top + layout.list_rows) {
    dialog->top = dialog->highlighted - layout.list_rows + 1;
  }
  if (dialog->top < 0) dialog->top = 0;
  int row = layout.list_top;
  for (int i = dialog->top; i < count && row < layout.list_top + layout.list_rows; ++i, ++row) {
    uint8_t marks = i == dialog->highlighted ? kCellSelected : 0;
    int used = CanvasText(row, 1, EntryText(chooser.entries[static_cast<size_t>(i)]), columns - 1,
                          marks);
    // The highlight runs across the row, as a list's does.
    if (marks != 0) CanvasMark(row, 0, columns, marks);
    (void)used;
  }
  bool only_parent = count == 0 || (count == 1 && chooser.entries[0].name == "..");
  const char16_t* note = chooser.unreadable ? u"(cannot read this folder)"
                         : chooser.cut      ? u"(more not shown)"
                         : only_parent      ? u"(no matching files)"
                                            : nullptr;
  if (note != nullptr && row < layout.list_top + layout.list_rows) {
    CanvasText(row, 1, note, columns - 1, kCellDim);
  }

  int starts[kMaxFileFilters];
  int ends[kMaxFileFilters];
  CanvasText(layout.type_row, 0, TypeLine(dialog->view, starts, ends), columns, 0);
  for (int i = 0; i < dialog->view->filter_count && i < kMaxFileFilters; ++i) {
    if (i + 1 == dialog->view->filter_index) {
      CanvasMark(layout.type_row, starts[i], ends[i], kCellSelected);
    }
  }
  std::u16string hint =
      dialog->message != nullptr ? Utf8ToUtf16(dialog->message) : u"Enter:open Tab:type Esc:cancel";
  CanvasText(layout.hint_row, 0, hint, columns, dialog->message != nullptr ? 0 : kCellDim);

  int label = CanvasText(layout.name_row, 0, u"Name: ", columns, 0);
  std::u16string_view name = chooser.name;
  int used = CanvasText(layout.name_row, label,
                        name.substr(CanvasTailThatFits(name, columns - label - 1)),
                        columns - label - 1, 0);
  canvas.cursor_row = layout.name_row;
  canvas.cursor_column = label + used;
  return true;
}

int X11OpenFile(OpenFileView* view) {
  FileDialog dialog = {view, ChooserState(), 0, 0, nullptr};
  StartChooser(&dialog.chooser, view->file);
  Relist(&dialog);
  g_dialog = &dialog;
  int result = -1;
  while (result < 0) {
    X11Present();
    WinEvent event;
    WaitWindowEvent(&event);
    // A refusal stays until the next key or click.
    if (event.kind == kWinKey || event.kind == kWinClick) dialog.message = nullptr;
    result = Handle(&dialog, event);
  }
  g_dialog = nullptr;
  return result;
}
