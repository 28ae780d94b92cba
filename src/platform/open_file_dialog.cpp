// The common open-file dialog: the record's checks, the filters, and the rules
// an answer must meet before the caller's buffer is touched.
#include <sys/stat.h>

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

bool Acceptable(const char16_t* path, DWORD flags) {
  if (path[0] == 0) return false;
  std::string host = HostPath(path);
  if (flags & OFN_FILEMUSTEXIST) {
    struct stat st;
    if (stat(host.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return false;
  }
  if (flags & OFN_PATHMUSTEXIST) {
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

}  // namespace

BOOL GetOpenFileNameW(OPENFILENAMEW* record) {
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
  OpenFileView view = {record->lpstrTitle != nullptr ? record->lpstrTitle : u"Open",
                       filters,
                       filter_count,
                       index,
                       g_answer,
                       capacity,
                       (record->Flags & OFN_FILEMUSTEXIST) != 0};
  for (;;) {
    CopyWide(g_answer, static_cast<size_t>(capacity), record->lpstrFile);
    FileDialogModel model;
    StartFileDialog(&model, &view);
    ShowFileDialog(&model);
    PresentIfChanged();
    int chosen = CurrentBackend()->open_file(&view);
    ShowFileDialog(nullptr);
    if (!chosen) return FALSE;
    g_answer[capacity - 1] = 0;
    // The dialog does not let a user leave with a name it refuses.
    if (!Acceptable(g_answer, record->Flags)) continue;
    CopyWide(record->lpstrFile, static_cast<size_t>(capacity), g_answer);
    record->nFilterIndex = static_cast<DWORD>(view.filter_index);
    SetOffsets(record);
    return TRUE;
  }
}
