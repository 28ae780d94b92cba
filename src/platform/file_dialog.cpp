// The open-file dialog's keys, clicks and list position.
#include "platform/file_dialog.h"

#include <unistd.h>

#include "host/file_stream.h"
#include "host/text.h"

namespace {

constexpr int kCtrlU = 0x15;
constexpr int kWheelRows = 3;

std::u16string_view Pattern(const OpenFileView* view) {
  if (view->filter_index < 1 || view->filter_index > view->filter_count) return u"*";
  return view->filters[view->filter_index - 1].pattern;
}

int Rules(const OpenFileView* view) {
  return (view->must_exist ? kChooserMustExist : 0) | (view->save ? kChooserFolderMustExist : 0);
}

// Lists the folder shown; after going up, the folder left is selected.
void Relist(FileDialogModel* dialog) {
  ChooserState& chooser = dialog->chooser;
  ListChooserFolder(&chooser, Pattern(dialog->view));
  dialog->highlighted = FirstChooserEntry(chooser);
  dialog->top = 0;
  for (size_t i = 0; i < chooser.entries.size() && !chooser.came_from.empty(); ++i) {
    if (chooser.entries[i].folder && chooser.entries[i].name == chooser.came_from) {
      dialog->highlighted = static_cast<int>(i);
    }
  }
  chooser.came_from.clear();
  dialog->cursor = chooser.name.size();
}

// Moves the list's cursor; with `take_name` a file's name goes to the name
// line (a folder empties it).
void Highlight(FileDialogModel* dialog, int index, bool take_name = true) {
  int count = static_cast<int>(dialog->chooser.entries.size());
  if (count == 0) return;
  if (index < 0) index = 0;
  if (index >= count) index = count - 1;
  dialog->highlighted = index;
  if (!take_name) return;
  const ChooserEntry& entry = dialog->chooser.entries[static_cast<size_t>(index)];
  dialog->chooser.name = entry.folder ? std::u16string() : Utf8ToUtf16(entry.name);
  dialog->cursor = dialog->chooser.name.size();
}

// The name line changed, or the list did (another type): the list follows
// what the name starts with.
void TypeAhead(FileDialogModel* dialog) {
  int match = TypeAheadMatch(dialog->chooser, dialog->chooser.name);
  if (match >= 0) Highlight(dialog, match, false);
}

std::u16string BaseName(const std::u16string& path) {
  size_t cut = path.find_last_of(path[0] == u'\\' ? u"\\" : u"/");
  return cut == std::u16string::npos ? path : path.substr(cut + 1);
}

// Hands the path back through the view: 1, or -1 when it does not fit.
int Give(FileDialogModel* dialog, const std::u16string& path) {
  if (path.size() < static_cast<size_t>(dialog->view->file_capacity)) {
    CopyWide(dialog->view->file, static_cast<size_t>(dialog->view->file_capacity), path);
    return 1;
  }
  dialog->message = "Name too long";
  return -1;
}

// Enter with files marked: all of them, the first also through the view.
int ChooseMarked(FileDialogModel* dialog) {
  std::vector<std::u16string> paths = ChooserMarkedPaths(dialog->chooser);
  int given = Give(dialog, paths.front());
  if (given == 1) dialog->chosen = std::move(paths);
  return given;
}

// Insert or Space: marks or unmarks the file under the cursor and moves on.
void ToggleMark(FileDialogModel* dialog) {
  if (!ChooserToggleMark(&dialog->chooser, dialog->highlighted)) return;
  Highlight(dialog, dialog->highlighted + 1);
}

// Whether Space marks rather than types: nothing typed, or the name line
// holds the name of the file under the cursor.
bool SpaceMarks(const FileDialogModel& dialog) {
  const ChooserState& chooser = dialog.chooser;
  if (chooser.name.empty()) return true;
  if (dialog.highlighted < 0 || static_cast<size_t>(dialog.highlighted) >= chooser.entries.size()) {
    return false;
  }
  const ChooserEntry& entry = chooser.entries[static_cast<size_t>(dialog.highlighted)];
  return !entry.folder && chooser.name == Utf8ToUtf16(entry.name);
}

// Enter: 1 when a file was chosen (and written into the view), else -1.
int Enter(FileDialogModel* dialog) {
  if (dialog->can_mark && ChooserMarkedCount(dialog->chooser) > 0) return ChooseMarked(dialog);
  // In an open dialog a typed start of a name that is no file itself takes
  // the entry the list's cursor found for it.
  ChooserState& chooser = dialog->chooser;
  if (dialog->view->must_exist && !chooser.name.empty() &&
      TypeAheadMatch(chooser, chooser.name) == dialog->highlighted &&
      access(TypedHostPath(chooser, chooser.name).c_str(), F_OK) != 0) {
    chooser.name.clear();
  }
  ChooserOutcome outcome = ChooserEnter(&dialog->chooser, dialog->highlighted, Rules(dialog->view));
  if (outcome.action == kChooserOpened) {
    Relist(dialog);
    return -1;
  }
  if (outcome.action == kChooserChosen) {
    const OpenFileView* view = dialog->view;
    if (view->save == kSaveAsks &&
        AsksBeforeReplacing(HostPath(outcome.path.c_str()), view->quiet_replace_size)) {
      dialog->pending = outcome.path;
      dialog->question = u"Replace " + BaseName(outcome.path) + u"? It is not a track file. (y/N)";
      return -1;
    }
    return Give(dialog, outcome.path);
  }
  dialog->message = outcome.message;
  return -1;
}

// The replace question: y gives the file back, anything else returns to
// the dialog.
int Answer(FileDialogModel* dialog, const InputEvent& event) {
  if (event.kind != kEventKey) return -1;
  std::u16string path = dialog->pending;
  dialog->question.clear();
  dialog->pending.clear();
  bool yes = (event.modifiers & kModControl) == 0 &&
             (event.key == 'Y' || event.character == 'y' || event.character == 'Y');
  return yes ? Give(dialog, path) : -1;
}

void Type(FileDialogModel* dialog, int code) {
  std::u16string& name = dialog->chooser.name;
  size_t room = static_cast<size_t>(dialog->view->file_capacity);
  std::u16string units;
  AppendUtf16(&units, static_cast<char32_t>(code));
  if (name.size() + units.size() + 1 > room) return;
  name.insert(dialog->cursor, units);
  dialog->cursor += units.size();
}

// The cursor one character left or right (a surrogate pair is one).
size_t StepLeft(const std::u16string& name, size_t at) {
  if (at == 0) return 0;
  return at >= 2 && IsLowSurrogate(name[at - 1]) && IsHighSurrogate(name[at - 2]) ? at - 2 : at - 1;
}
size_t StepRight(const std::u16string& name, size_t at) {
  if (at >= name.size()) return name.size();
  return at + 1 < name.size() && IsHighSurrogate(name[at]) && IsLowSurrogate(name[at + 1]) ? at + 2 : at + 1;
}

bool IsWordBreak(char16_t c) {
  return c == u'/' || c == u'\\' || c == u' ';
}

// Edits the name line; true when it changed.
bool EditName(FileDialogModel* dialog, int key, bool control) {
  std::u16string& name = dialog->chooser.name;
  size_t& at = dialog->cursor;
  if (at > name.size()) at = name.size();
  size_t from = at;
  switch (key) {
    case VK_LEFT: at = StepLeft(name, at); return false;
    case VK_RIGHT: at = StepRight(name, at); return false;
    case VK_HOME: at = 0; return false;
    case VK_END: at = name.size(); return false;
    case VK_BACK: from = StepLeft(name, at); break;
    case VK_DELETE: {
      size_t to = StepRight(name, at);
      if (to == at) return false;
      name.erase(at, to - at);
      return true;
    }
    default:
      if (!control) return false;
      if (key == 'U') {
        bool had = !name.empty();
        name.clear();
        at = 0;
        return had;
      } else if (key == 'W') {
        while (from > 0 && IsWordBreak(name[from - 1])) --from;
        while (from > 0 && !IsWordBreak(name[from - 1])) --from;
      } else {
        return false;
      }
      break;
  }
  if (from == at) return false;
  name.erase(from, at - from);
  at = from;
  return true;
}

void NextFilter(FileDialogModel* dialog, int step) {
  OpenFileView* view = dialog->view;
  if (view->filter_count <= 1) return;
  view->filter_index = ((view->filter_index - 1 + step) % view->filter_count + view->filter_count) %
                           view->filter_count + 1;
  Relist(dialog);
  TypeAhead(dialog);
}

int HandleKey(FileDialogModel* dialog, const InputEvent& event, const FileDialogLayout& layout) {
  bool control = (event.modifiers & kModControl) != 0;
  switch (event.key) {
    case VK_RETURN: return Enter(dialog);
    case VK_ESCAPE: return 0;
    case VK_UP: Highlight(dialog, dialog->highlighted - 1); return -1;
    case VK_DOWN: Highlight(dialog, dialog->highlighted + 1); return -1;
    case VK_PRIOR: Highlight(dialog, dialog->highlighted - layout.list_rows); return -1;
    case VK_NEXT: Highlight(dialog, dialog->highlighted + layout.list_rows); return -1;
    case VK_TAB: NextFilter(dialog, (event.modifiers & kModShift) ? -1 : 1); return -1;
    default: break;
  }
  if (dialog->can_mark && !control &&
      (event.key == VK_INSERT || (event.character == ' ' && SpaceMarks(*dialog)))) {
    ToggleMark(dialog);
    return -1;
  }
  if (event.key == VK_BACK && dialog->chooser.name.empty()) {
    if (ChooserUp(&dialog->chooser)) Relist(dialog);
    return -1;
  }
  if (EditName(dialog, event.key, control)) {
    TypeAhead(dialog);
    return -1;
  }
  int code = event.character;
  if (!control && code >= 0x20 && code != 0x7F && code != kCtrlU && code <= 0x10FFFF &&
      !IsSurrogate(static_cast<char32_t>(code))) {
    Type(dialog, code);
    TypeAhead(dialog);
  }
  return -1;
}

// The wheel moves the list's view; the cursor stays on a row in view.
void Wheel(FileDialogModel* dialog, int notches, const FileDialogLayout& layout) {
  int count = static_cast<int>(dialog->chooser.entries.size());
  int last_top = count - layout.list_rows > 0 ? count - layout.list_rows : 0;
  int top = dialog->top + notches * kWheelRows;
  dialog->top = top < 0 ? 0 : top > last_top ? last_top : top;
  if (dialog->highlighted < dialog->top) Highlight(dialog, dialog->top, false);
  int bottom = dialog->top + layout.list_rows - 1;
  if (dialog->highlighted > bottom) Highlight(dialog, bottom, false);
}

}  // namespace

FileDialogLayout FileDialogRows(int rows, const OpenFileView* view) {
  bool types = view != nullptr ? view->filter_count > 1 : true;
  FileDialogLayout layout;
  layout.list_top = 2;
  layout.hint_row = rows - 1;
  layout.type_row = types ? rows - 2 : -1;
  layout.name_row = types ? rows - 3 : rows - 2;
  layout.list_rows = layout.name_row - layout.list_top > 1 ? layout.name_row - layout.list_top : 1;
  return layout;
}

std::u16string FileTypeLine(const OpenFileView* view, int* starts, int* ends, int columns) {
  const int count = view->filter_count < kMaxFileFilters ? view->filter_count : kMaxFileFilters;
  for (int first = 0;; ++first) {
    std::u16string line = first > 0 ? u"Type: <" : u"Type:";
    int selected_end = 0;
    for (int i = 0; i < count; ++i) {
      if (i < first) {
        starts[i] = ends[i] = -1;
        continue;
      }
      bool selected = i + 1 == view->filter_index;
      line += u' ';
      starts[i] = static_cast<int>(line.size());
      line += selected ? u"[" : u" ";
      line += view->filters[i].name;
      line += selected ? u"]" : u" ";
      ends[i] = static_cast<int>(line.size());
      if (selected) selected_end = ends[i];
    }
    // Shown whole, or the selected type fits, or it is the first one shown.
    if (columns <= 0 || selected_end <= columns || first + 1 >= view->filter_index) return line;
  }
}

std::u16string FileHintLine(const FileDialogModel& dialog) {
  if (!dialog.question.empty()) return dialog.question;
  if (dialog.message != nullptr) return Utf8ToUtf16(dialog.message);
  std::u16string hint = dialog.view->save ? u"Enter:choose" : u"Enter:open";
  if (dialog.view->filter_count > 1) hint += u" Tab:type";
  return hint + u" Esc:cancel";
}

std::u16string FileMarkNote(const FileDialogModel& dialog) {
  int marked = ChooserMarkedCount(dialog.chooser);
  if (marked == 0) return std::u16string();
  std::u16string note = u"(";
  note += Utf8ToUtf16(std::to_string(marked));
  note += u" marked)";
  return note;
}

std::u16string FileEntryText(const ChooserEntry& entry) {
  std::u16string text = Utf8ToUtf16(entry.name);
  if (entry.folder) text += u'/';
  return text;
}

void StartFileDialog(FileDialogModel* dialog, OpenFileView* view, const std::string& start_folder) {
  dialog->view = view;
  dialog->chooser = ChooserState();
  dialog->highlighted = 0;
  dialog->top = 0;
  dialog->cursor = 0;
  dialog->message = nullptr;
  dialog->question.clear();
  dialog->pending.clear();
  dialog->can_mark = false;
  dialog->chosen.clear();
  StartChooser(&dialog->chooser, view->file, start_folder);
  Relist(dialog);
}

void ScrollFileDialog(FileDialogModel* dialog, int rows) {
  FileDialogLayout layout = FileDialogRows(rows, dialog->view);
  if (dialog->highlighted < dialog->top) dialog->top = dialog->highlighted;
  if (dialog->highlighted >= dialog->top + layout.list_rows) {
    dialog->top = dialog->highlighted - layout.list_rows + 1;
  }
  if (dialog->top < 0) dialog->top = 0;
}

size_t TailInCells(std::u16string_view text, int columns) {
  if (columns <= 0) return text.size();
  return text.size() > static_cast<size_t>(columns) ? text.size() - static_cast<size_t>(columns) : 0;
}

int FileDialogHandle(FileDialogModel* dialog, const InputEvent& event, int columns, int rows) {
  FileDialogLayout layout = FileDialogRows(rows, dialog->view);
  dialog->message = nullptr;
  if (event.kind == kEventClose || event.kind == kEventEnd) return 0;
  if (!dialog->question.empty()) return Answer(dialog, event);
  if (event.kind == kEventKey) return HandleKey(dialog, event, layout);
  if (event.kind == kEventWheel) {
    ScrollFileDialog(dialog, rows);
    Wheel(dialog, event.key, layout);
    return -1;
  }
  if (event.kind != kEventClick && event.kind != kEventDoubleClick) return -1;
  int index = dialog->top + event.row - layout.list_top;
  if (event.row == 0 && event.column >= columns - 2) return Enter(dialog);
  if (event.row >= layout.list_top && event.row < layout.list_top + layout.list_rows &&
      index < static_cast<int>(dialog->chooser.entries.size())) {
    // A click selects; a double click (on the entry the first click
    // selected) opens it.
    Highlight(dialog, index);
    return event.kind == kEventDoubleClick ? Enter(dialog) : -1;
  }
  if (event.row == layout.type_row) {
    int starts[kMaxFileFilters];
    int ends[kMaxFileFilters];
    FileTypeLine(dialog->view, starts, ends, columns);
    for (int i = 0; i < dialog->view->filter_count && i < kMaxFileFilters; ++i) {
      if (event.column >= starts[i] && event.column < ends[i]) {
        dialog->view->filter_index = i + 1;
        Relist(dialog);
        TypeAhead(dialog);
      }
    }
  }
  return -1;
}
