// The open-file dialog on the terminal, full screen as on the device:
//
//   Open                                   OK    title; OK chooses
//   /home/user/tracks                            the folder shown
//    ../                                         its list: folders, then
//    walk.gpx                                    files under the filter
//   Name: walk.gpx                               the name line
//   Type: [gpx]  mps   plt   nmea                the filters (Tab cycles)
//   Enter:open Tab:type Esc:cancel               keys, or what went wrong
//
// Moving along the list puts a file's name on the name line (a folder
// empties it); Enter takes the name line, or with it empty the entry.
#include <string>

#include "platform/file_chooser.h"
#include "backends/terminal/terminal_map.h"
#include "backends/terminal/terminal_session.h"
#include "host/text.h"
#include "platform/window_internal.h"
#include "backends/terminal/terminal_internal.h"

namespace {

constexpr int kCtrlU = 0x15;

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
  Layout layout;
  layout.list_top = 2;
  layout.list_rows = LINES - 5 > 1 ? LINES - 5 : 1;
  layout.name_row = LINES - 3;
  layout.type_row = LINES - 2;
  layout.hint_row = LINES - 1;
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
  beep();
  return -1;
}

void Type(FileDialog* dialog, int code) {
  std::u16string& name = dialog->chooser.name;
  size_t room = static_cast<size_t>(dialog->view->file_capacity);
  if (code > 0xFFFF) {
    if (name.size() + 3 > room) return;
    int point = code - 0x10000;
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

// -1 while the dialog goes on, 0 cancelled, 1 chosen.
int Handle(FileDialog* dialog, const TermEvent& event) {
  Layout layout = LayoutNow();
  if (IsEnter(event)) return Enter(dialog);
  if (IsEscape(event) || event.kind == kTermClose || event.kind == kTermEnd) return 0;
  if (IsBackspace(event)) {
    Backspace(dialog);
  } else if (event.kind == kTermResize) {
    HandleScreenResize();
  } else if (event.kind == kTermKey) {
    int last = static_cast<int>(dialog->chooser.entries.size()) - 1;
    switch (event.code) {
      case KEY_UP: Highlight(dialog, dialog->highlighted - 1); break;
      case KEY_DOWN: Highlight(dialog, dialog->highlighted + 1); break;
      case KEY_PPAGE: Highlight(dialog, dialog->highlighted - layout.list_rows); break;
      case KEY_NPAGE: Highlight(dialog, dialog->highlighted + layout.list_rows); break;
      case KEY_HOME: Highlight(dialog, 0); break;
      case KEY_END: Highlight(dialog, last); break;
      case KEY_BTAB: NextFilter(dialog, -1); break;
      default: break;
    }
  } else if (event.kind == kTermChar) {
    if (event.code == '\t') {
      NextFilter(dialog, 1);
    } else if (event.code == kCtrlU) {
      dialog->chooser.name.clear();
    } else if (event.code >= 0x20 && event.code != 0x7F && event.code <= 0x10FFFF &&
               (event.code < 0xD800 || event.code > 0xDFFF)) {
      Type(dialog, event.code);
    }
  } else if (event.kind == kTermClick) {
    int index = dialog->top + event.row - layout.list_top;
    if (event.row == 0 && event.column >= COLS - 2) return Enter(dialog);
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

bool DrawOpenFileDialog() {
  if (g_dialog == nullptr) return false;
  FileDialog* dialog = g_dialog;
  const ChooserState& chooser = dialog->chooser;
  Layout layout = LayoutNow();
  werase(stdscr);

  TerminalDrawText(0, 0, dialog->view->title, COLS - 3, A_NORMAL);
  TerminalDrawText(0, COLS - 2, u"OK", 2, A_REVERSE);
  std::u16string folder = Utf8ToUtf16(chooser.folder);
  TerminalDrawText(1, 0, std::u16string_view(folder).substr(TailThatFits(folder, COLS)), COLS,
                   A_NORMAL);

  int count = static_cast<int>(chooser.entries.size());
  if (dialog->highlighted < dialog->top) dialog->top = dialog->highlighted;
  if (dialog->highlighted >= dialog->top + layout.list_rows) {
    dialog->top = dialog->highlighted - layout.list_rows + 1;
  }
  if (dialog->top < 0) dialog->top = 0;
  int row = layout.list_top;
  for (int i = dialog->top; i < count && row < layout.list_top + layout.list_rows; ++i, ++row) {
    attr_t attributes = i == dialog->highlighted ? A_REVERSE : A_NORMAL;
    TerminalDrawText(row, 1, EntryText(chooser.entries[static_cast<size_t>(i)]), COLS - 1,
                     attributes);
  }
  bool only_parent = count == 0 || (count == 1 && chooser.entries[0].name == "..");
  const char16_t* note = chooser.unreadable ? u"(cannot read this folder)"
                         : chooser.cut      ? u"(more not shown)"
                         : only_parent      ? u"(no matching files)"
                                            : nullptr;
  if (note != nullptr && row < layout.list_top + layout.list_rows) {
    TerminalDrawText(row, 1, note, COLS - 1, A_NORMAL);
  }

  int starts[kMaxFileFilters];
  int ends[kMaxFileFilters];
  TerminalDrawText(layout.type_row, 0, TypeLine(dialog->view, starts, ends), COLS, A_NORMAL);
  std::u16string hint =
      dialog->message != nullptr ? Utf8ToUtf16(dialog->message) : u"Enter:open Tab:type Esc:cancel";
  TerminalDrawText(layout.hint_row, 0, hint, COLS, A_NORMAL);

  // The name line last: the cursor stays at its end.
  int label = TerminalDrawText(layout.name_row, 0, u"Name: ", COLS, A_NORMAL);
  std::u16string_view name = chooser.name;
  int used = TerminalDrawText(layout.name_row, label,
                              name.substr(TailThatFits(name, COLS - label - 1)), COLS - label - 1,
                              A_NORMAL);
  wmove(stdscr, layout.name_row, label + used);
  curs_set(1);
  return true;
}

int TerminalOpenFile(OpenFileView* view) {
  FileDialog dialog = {view, ChooserState(), 0, 0, nullptr};
  StartChooser(&dialog.chooser, view->file);
  Relist(&dialog);
  g_dialog = &dialog;
  int result = -1;
  while (result < 0) {
    TerminalPresent();
    TermEvent event;
    WaitTermEvent(&event);
    dialog.message = nullptr;
    result = Handle(&dialog, event);
  }
  g_dialog = nullptr;
  curs_set(0);
  return result;
}
