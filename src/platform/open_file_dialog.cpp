// The common open-file dialog: the record's checks, the filters, and the rules
// an answer must meet before the caller's buffer is touched.
#include <sys/stat.h>

#include <string>
#include <utility>

#include "host/atomic_file.h"
#include "host/file_stream.h"
#include "host/text.h"
#include "platform/dialog_api.h"
#include "platform/window_internal.h"

namespace {

// Dialog buffers the program uses are 2038 characters; anything larger is
// cut to this while the dialog runs.
constexpr int kAnswerCapacity = 4096;
char16_t g_answer[kAnswerCapacity];
std::u16string g_kept_drop;  // a file dropped on the main screen, for the next dialog

int ParseFilters(LPCWSTR list, FileFilterView* filters) {
  int count = 0;
  if (list == nullptr) return 0;
  const char16_t* p = list;
  while (*p != 0 && count < kMaxFileFilters) {
    const char16_t* name = p;
    p += WideLength(p) + 1;
    const char16_t* pattern = p;
    if (*pattern != 0) p += WideLength(p) + 1;
    filters[count++] = FileFilterView{name, pattern};
  }
  return count;
}

// The folder each dialog was last left in, while the program runs; a
// dialog is known by its title and filters.
struct LastFolder {
  std::u16string dialog;
  std::string folder;
};
std::vector<LastFolder> g_last_folders;

std::u16string DialogKey(const char16_t* title, LPCWSTR filters) {
  std::u16string key = title;
  key += u'\0';
  for (const char16_t* p = filters; p != nullptr && *p != 0; p += WideLength(p) + 1) {
    key += p;
    key += u'\0';
  }
  return key;
}

std::string& LastFolderOf(const std::u16string& dialog) {
  for (LastFolder& last : g_last_folders) {
    if (last.dialog == dialog) return last.folder;
  }
  g_last_folders.push_back(LastFolder{dialog, std::string()});
  return g_last_folders.back().folder;
}

bool Acceptable(const char16_t* path, DWORD flags) {
  if (path[0] == 0) return false;
  std::string host = HostPath(path);
  if (flags & OFN_FILEMUSTEXIST) {
    struct stat st;
    if (stat(host.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return false;
  }
  if ((flags & OFN_PATHMUSTEXIST) && path[0] != u'\\') {
    size_t slash = host.rfind('/');
    std::string folder = slash == std::string::npos ? "."
                         : slash == 0               ? "/"
                                                    : host.substr(0, slash);
    if (!IsFolder(folder)) return false;
  }
  return true;
}

// Where the name and its extension start, as the record reports them.
void SetOffsets(OPENFILENAMEW* record) {
  const char16_t* file = record->lpstrFile;
  size_t name = 0;
  size_t extension = 0;
  for (size_t i = 0; file[i] != 0; ++i) {
    if (file[i] == u'\\' || file[i] == u'/') name = i + 1, extension = 0;
    if (file[i] == u'.') extension = i + 1;
  }
  record->nFileOffset = static_cast<WORD>(name < 0xFFFF ? name : 0);
  record->nFileExtension = static_cast<WORD>(extension < 0xFFFF ? extension : 0);
}

// Several files chosen together, into the record as their folder, a zero
// and each name with its zero, then one more zero: TRUE; FALSE when that does
// not fit the buffer; -1 when one of them is not there to choose. Files of
// different folders (dropped together) are named from the folder they share.
int GiveSeveral(OPENFILENAMEW* record, const std::vector<std::u16string>& paths) {
  const std::u16string& first = paths.front();
  const char16_t* separator = first[0] == u'\\' ? u"\\" : u"/";
  size_t cut = first.find_last_of(separator);
  for (const std::u16string& path : paths) {
    while (cut != std::u16string::npos &&
           (path.size() <= cut + 1 || path.compare(0, cut + 1, first, 0, cut + 1) != 0)) {
      cut = cut == 0 ? std::u16string::npos : first.find_last_of(separator, cut - 1);
    }
    if (cut == std::u16string::npos || !Acceptable(path.c_str(), record->Flags)) return -1;
  }
  std::u16string folder = cut == 0 ? first.substr(0, 1) : first.substr(0, cut);
  std::u16string list = folder + u'\0';
  for (const std::u16string& path : paths) {
    list += path.substr(cut + 1);
    list += u'\0';
  }
  list += u'\0';
  if (list.size() > record->nMaxFile) return FALSE;
  list.copy(record->lpstrFile, list.size());
  record->nFileOffset = static_cast<WORD>(folder.size() + 1 < 0xFFFF ? folder.size() + 1 : 0);
  record->nFileExtension = 0;
  return TRUE;
}

// The paths of an answer of several files: each ended by a zero, then one
// more zero, within `capacity`.
std::vector<std::u16string> AnswerPaths(const char16_t* answer, int capacity) {
  std::vector<std::u16string> paths;
  int at = 0;
  while (at < capacity && answer[at] != 0) {
    int end = at;
    while (end < capacity && answer[end] != 0) ++end;
    paths.emplace_back(answer + at, answer + end);
    at = end + 1;
  }
  return paths;
}

BOOL RunFileDialog(OPENFILENAMEW* record, bool save) {
  if (record == nullptr || record->lStructSize != kOpenFileNameSize ||
      record->lpstrFile == nullptr || record->nMaxFile == 0) {
    return FALSE;
  }
  FileFilterView filters[kMaxFileFilters];
  int filter_count = ParseFilters(record->lpstrFilter, filters);
  int capacity =
      record->nMaxFile < kAnswerCapacity ? static_cast<int>(record->nMaxFile) : kAnswerCapacity;
  int index = static_cast<int>(record->nFilterIndex);
  if (index < 1 || index > filter_count) index = 1;
  const char16_t* title =
      record->lpstrTitle != nullptr ? record->lpstrTitle : save ? u"Save as" : u"Open";
  bool ask = save && (record->Flags & OFN_OVERWRITEPROMPT) != 0;
  long long quiet_size = record->lCustData > 0 ? static_cast<long long>(record->lCustData) : -1;
  OpenFileView view = {title,
                       filters,
                       filter_count,
                       index,
                       g_answer,
                       capacity,
                       (record->Flags & OFN_FILEMUSTEXIST) != 0,
                       ask ? kSaveAsks : save ? kSaveDialog : kSaveNone,
                       quiet_size};
  const std::u16string dialog_key = DialogKey(title, record->lpstrFilter);
  for (;;) {
    CopyWide(g_answer, static_cast<size_t>(capacity), record->lpstrFile);
    FileDialogModel model;
    StartFileDialog(&model, &view, LastFolderOf(dialog_key));
    model.can_mark = !save && (record->Flags & OFN_ALLOWMULTISELECT) != 0;
    // Files dropped on the main screen answer the dialog its F1 opened.
    std::u16string dropped = TakeKeptDrop();
    int chosen = dropped.empty() ? -1 : AnswerWithDrop(&view, dropped.c_str());
    if (!dropped.empty() && chosen < 0) chosen = 0;
    if (chosen < 0) {
      ShowFileDialog(&model);
      PresentIfChanged();
      chosen = RunOwnOpenFile(&view);
      ShowFileDialog(nullptr);
    }
    LastFolderOf(dialog_key) = model.chooser.folder;
    if (!chosen) return FALSE;
    if (chosen == kOpenFileSeveral) {
      model.chosen = AnswerPaths(g_answer, capacity);
      if (model.chosen.empty()) return FALSE;
      // Without the flag, the first of them.
      if (!model.can_mark) CopyWide(g_answer, static_cast<size_t>(capacity), model.chosen.front());
    }
    if (model.can_mark && model.chosen.size() > 1) {
      int several = GiveSeveral(record, model.chosen);
      if (several < 0) continue;
      if (several) record->nFilterIndex = static_cast<DWORD>(view.filter_index);
      return several;
    }
    g_answer[capacity - 1] = 0;
    // The dialog does not let a user leave with a name it refuses.
    if (!Acceptable(g_answer, record->Flags)) continue;
    CopyWide(record->lpstrFile, static_cast<size_t>(capacity), g_answer);
    record->nFilterIndex = static_cast<DWORD>(view.filter_index);
    SetOffsets(record);
    return TRUE;
  }
}

}  // namespace

void KeepDrop(const char16_t* paths) {
  // Kept with each path's zero, so that the list reads back as it came.
  g_kept_drop = DroppedPaths(paths);
}

std::u16string TakeKeptDrop() {
  return std::exchange(g_kept_drop, std::u16string());
}

BOOL GetOpenFileNameW(OPENFILENAMEW* record) {
  return RunFileDialog(record, false);
}

BOOL GetSaveFileNameW(OPENFILENAMEW* record) {
  return RunFileDialog(record, true);
}

void ResetFileDialogsForTest() {
  g_last_folders.clear();
  g_kept_drop.clear();
}
