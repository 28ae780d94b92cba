// The open-file dialog's keys, clicks and list position.
#include "platform/file_dialog.h"

#include "host/text.h"

namespace {

constexpr int kCtrlU = 0x15;

std::u16string_view Pattern(const OpenFileView* view) {
  if (view->filter_index < 1 || view->filter_index > view->filter_count) return u"*";
  return view->filters[view->filter_index - 1].pattern;
}

void Relist(FileDialogModel* dialog) {
  ListChooserFolder(&dialog->chooser, Pattern(dialog->view));
  dialog->highlighted = FirstChooserEntry(dialog->chooser);
  dialog->top = 0;
}

void Highlight(FileDialogModel* dialog, int index) {
  int count = static_cast<int>(dialog->chooser.entries.size());
  if (count == 0) return;
  if (index < 0) index = 0;
  if (index >= count) index = count - 1;
  dialog->highlighted = index;
  const ChooserEntry& entry = dialog->chooser.entries[static_cast<size_t>(index)];
  dialog->chooser.name = entry.folder ? std::u16string() : Utf8ToUtf16(entry.name);
}

// Enter: 1 when a file was chosen (and written into the view), else -1.
int Enter(FileDialogModel* dialog) {
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

void Type(FileDialogModel* dialog, int code) {
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

void Backspace(FileDialogModel* dialog) {
  std::u16string& name = dialog->chooser.name;
  if (name.empty()) {
    if (ChooserUp(&dialog->chooser)) Relist(dialog);
    return;
  }
  bool pair = name.size() >= 2 && name.back() >= 0xDC00 && name.back() <= 0xDFFF &&
              name[name.size() - 2] >= 0xD800 && name[name.size() - 2] <= 0xDBFF;
  name.resize(name.size() - (pair ? 2 : 1));
}

void NextFilter(FileDialogModel* dialog, int step) {
  OpenFileView* view = dialog->view;
  if (view->filter_count <= 0) return;
  view->filter_index = ((view->filter_index - 1 + step) % view->filter_count + view->filter_count) %
                           view->filter_count + 1;
  Relist(dialog);
}

int HandleKey(FileDialogModel* dialog, const InputEvent& event, const FileDialogLayout& layout) {
  int last = static_cast<int>(dialog->chooser.entries.size()) - 1;
  bool control = (event.modifiers & kModControl) != 0;
  switch (event.key) {
    case VK_RETURN: return Enter(dialog);
    case VK_ESCAPE: return 0;
    case VK_BACK: Backspace(dialog); return -1;
    case VK_UP: Highlight(dialog, dialog->highlighted - 1); return -1;
    case VK_DOWN: Highlight(dialog, dialog->highlighted + 1); return -1;
    case VK_PRIOR: Highlight(dialog, dialog->highlighted - layout.list_rows); return -1;
    case VK_NEXT: Highlight(dialog, dialog->highlighted + layout.list_rows); return -1;
    case VK_HOME: Highlight(dialog, 0); return -1;
    case VK_END: Highlight(dialog, last); return -1;
    case VK_TAB: NextFilter(dialog, (event.modifiers & kModShift) ? -1 : 1); return -1;
    default: break;
  }
  if (control && event.key == 'U') {
    dialog->chooser.name.clear();
    return -1;
  }
  int code = event.character;
  if (!control && code >= 0x20 && code != 0x7F && code != kCtrlU && code <= 0x10FFFF &&
      (code < 0xD800 || code > 0xDFFF)) {
    Type(dialog, code);
  }
  return -1;
}

}  // namespace

FileDialogLayout FileDialogRows(int rows) {
  FileDialogLayout layout;
  layout.list_top = 2;
  layout.list_rows = rows - 5 > 1 ? rows - 5 : 1;
  layout.name_row = rows - 3;
  layout.type_row = rows - 2;
  layout.hint_row = rows - 1;
  return layout;
}

std::u16string FileTypeLine(const OpenFileView* view, int* starts, int* ends) {
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

std::u16string FileEntryText(const ChooserEntry& entry) {
  std::u16string text = Utf8ToUtf16(entry.name);
  if (entry.folder) text += u'/';
  return text;
}

void StartFileDialog(FileDialogModel* dialog, OpenFileView* view) {
  dialog->view = view;
  dialog->chooser = ChooserState();
  dialog->highlighted = 0;
  dialog->top = 0;
  dialog->message = nullptr;
  StartChooser(&dialog->chooser, view->file);
  Relist(dialog);
}

void ScrollFileDialog(FileDialogModel* dialog, int rows) {
  FileDialogLayout layout = FileDialogRows(rows);
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
  FileDialogLayout layout = FileDialogRows(rows);
  dialog->message = nullptr;
  if (event.kind == kEventClose || event.kind == kEventEnd) return 0;
  if (event.kind == kEventKey) return HandleKey(dialog, event, layout);
  if (event.kind != kEventClick) return -1;
  int index = dialog->top + event.row - layout.list_top;
  if (event.row == 0 && event.column >= columns - 2) return Enter(dialog);
  if (event.row >= layout.list_top && event.row < layout.list_top + layout.list_rows &&
      index < static_cast<int>(dialog->chooser.entries.size())) {
    // A tap on an entry opens it, as on the device.
    Highlight(dialog, index);
    return Enter(dialog);
  }
  if (event.row == layout.type_row) {
    int starts[kMaxFileFilters];
    int ends[kMaxFileFilters];
    FileTypeLine(dialog->view, starts, ends);
    for (int i = 0; i < dialog->view->filter_count && i < kMaxFileFilters; ++i) {
      if (event.column >= starts[i] && event.column < ends[i]) {
        dialog->view->filter_index = i + 1;
        Relist(dialog);
      }
    }
  }
  return -1;
}
