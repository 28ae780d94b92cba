// The open-file dialog's folder, list and choices.
#include "platform/file_chooser.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <climits>
#include <cstdlib>

#include "host/atomic_file.h"
#include "host/file_stream.h"
#include "host/text.h"

namespace {

// The absolute, resolved form of a folder; empty when it is none.
std::string RealFolder(const std::string& path) {
  char resolved[PATH_MAX];
  if (path.empty() || realpath(path.c_str(), resolved) == nullptr) return std::string();
  std::string folder = resolved;
  return IsFolder(folder) ? folder : std::string();
}

std::string CurrentFolder() {
  std::string folder = RealFolder(".");
  return folder.empty() ? "/" : folder;
}

std::string JoinHost(const std::string& folder, const std::string& name) {
  return folder == "/" ? "/" + name : folder + "/" + name;
}

// The answer for a name in the folder shown.
std::u16string PathFor(const ChooserState& state, const std::u16string& name) {
  bool plain = name.find_first_of(u"/\\") == std::u16string::npos;
  if (state.in_device_folder && state.folder == state.device_host && plain) {
    return state.device_folder + u"\\" + name;
  }
  std::u16string path = Utf8ToUtf16(state.folder);
  if (state.folder != "/") path += u'/';
  return path + name;
}

ChooserOutcome Opened() {
  return ChooserOutcome{kChooserOpened, std::u16string(), nullptr};
}
ChooserOutcome Refused(const char* message) {
  return ChooserOutcome{kChooserRefused, std::u16string(), message};
}
ChooserOutcome Chosen(std::u16string path) {
  return ChooserOutcome{kChooserChosen, std::move(path), nullptr};
}

ChooserOutcome OpenFolder(ChooserState* state, const std::string& host) {
  std::string folder = RealFolder(host);
  if (folder.empty()) return Refused("Cannot open that folder");
  state->folder = folder;
  state->name.clear();
  state->came_from.clear();
  return Opened();
}

// "~" or "~/...": the home folder's path, else empty.
std::string HomePath(std::u16string_view name) {
  if (name.empty() || name[0] != u'~' || (name.size() > 1 && name[1] != u'/')) return std::string();
  const char* home = std::getenv("HOME");
  if (home == nullptr || home[0] == 0) return std::string();
  std::string path = home;
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path + Utf16ToUtf8(name.substr(1));
}

// Folders and regular files are listed; whatever a link finally names
// decides for the link, and a broken link is left out.
bool Listable(DIR* dir, const dirent* entry, bool* folder) {
  if (entry->d_type == DT_DIR || entry->d_type == DT_REG) {
    *folder = entry->d_type == DT_DIR;
    return true;
  }
  if (entry->d_type != DT_LNK && entry->d_type != DT_UNKNOWN) return false;
  struct stat st;
  if (fstatat(dirfd(dir), entry->d_name, &st, 0) != 0) return false;
  *folder = S_ISDIR(st.st_mode);
  return S_ISDIR(st.st_mode) || S_ISREG(st.st_mode);
}

// Names ordered without regard to ASCII case; names equal so in byte order.
bool NameBefore(const std::string& a, const std::string& b) {
  size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    char x = FoldAscii(a[i]);
    char y = FoldAscii(b[i]);
    if (x != y) return static_cast<unsigned char>(x) < static_cast<unsigned char>(y);
  }
  if (a.size() != b.size()) return a.size() < b.size();
  return a < b;
}

bool StartsWithFolded(const std::string& name, const std::string& prefix) {
  if (prefix.size() > name.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (FoldAscii(name[i]) != FoldAscii(prefix[i])) return false;
  }
  return true;
}

}  // namespace

int FilterForName(std::string_view name, const FileFilterView* filters, int count) {
  for (int i = 0; i < count; ++i) {
    if (filters[i].pattern != nullptr && MatchesNamePatterns(name, filters[i].pattern)) return i + 1;
  }
  return count;
}

void StartChooser(ChooserState* state, const char16_t* file, const std::string& start_folder) {
  std::u16string text(file, WideLength(file));
  state->folder = CurrentFolder();
  state->name.clear();
  state->device_host.clear();
  state->device_folder.clear();
  state->in_device_folder = false;
  state->came_from.clear();
  if (text.empty()) {
    std::string folder = RealFolder(start_folder);
    if (!folder.empty()) state->folder = folder;
    return;
  }

  // A device path's folders are separated by backslashes, a host path's by
  // slashes (a backslash is an ordinary character in a host name).
  bool device = text[0] == u'\\';
  size_t cut = text.rfind(device ? u'\\' : u'/');
  std::string host_folder;
  if (cut == std::u16string::npos) {
    host_folder = state->folder;
  } else if (cut == 0) {
    host_folder = device ? DeviceRoot() : "/";
  } else {
    host_folder = HostPath(text.substr(0, cut).c_str());
  }
  std::string folder = RealFolder(host_folder);
  if (folder.empty()) {
    // The folder is not there (a device folder is made when a file is first
    // written into it): the whole path stays the name.
    state->name = text;
    return;
  }
  state->folder = folder;
  state->name = cut == std::u16string::npos ? text : text.substr(cut + 1);
  if (device) {
    state->device_host = folder;
    state->device_folder = text.substr(0, cut);
    state->in_device_folder = true;
  }
}

void ListChooserFolder(ChooserState* state, std::u16string_view patterns) {
  state->entries.clear();
  state->marked.clear();
  state->unreadable = false;
  state->cut = false;
  if (state->folder != "/") state->entries.push_back(ChooserEntry{"..", true});
  DIR* dir = opendir(state->folder.c_str());
  if (dir == nullptr) {
    state->unreadable = true;
    return;
  }
  size_t first = state->entries.size();
  while (dirent* entry = readdir(dir)) {
    std::string name = entry->d_name;
    if (name.empty() || name[0] == '.') continue;
    bool folder = false;
    if (!Listable(dir, entry, &folder)) continue;
    if (!folder && !MatchesNamePatterns(name, patterns)) continue;
    if (state->entries.size() - first >= kMaxChooserEntries) {
      state->cut = true;
      break;
    }
    state->entries.push_back(ChooserEntry{std::move(name), folder});
  }
  closedir(dir);
  std::sort(state->entries.begin() + static_cast<std::ptrdiff_t>(first), state->entries.end(),
            [](const ChooserEntry& a, const ChooserEntry& b) {
              if (a.folder != b.folder) return a.folder;
              return NameBefore(a.name, b.name);
            });
}

int FirstChooserEntry(const ChooserState& state) {
  bool parent = !state.entries.empty() && state.entries[0].name == "..";
  return parent && state.entries.size() > 1 ? 1 : 0;
}

std::string TypedHostPath(const ChooserState& state, std::u16string_view name) {
  std::string home = HomePath(name);
  if (!home.empty()) return home;
  if (!name.empty() && (name[0] == u'/' || name[0] == u'\\')) {
    return HostPath(std::u16string(name).c_str());
  }
  return JoinHost(state.folder, Utf16ToUtf8(name));
}

int TypeAheadMatch(const ChooserState& state, std::u16string_view typed) {
  if (typed.empty()) return -1;
  std::string prefix = Utf16ToUtf8(typed);
  for (size_t i = 0; i < state.entries.size(); ++i) {
    const std::string& name = state.entries[i].name;
    if (name != ".." && StartsWithFolded(name, prefix)) return static_cast<int>(i);
  }
  return -1;
}

bool AsksBeforeReplacing(const std::string& host_path, long long quiet_size) {
  struct stat st;
  if (stat(host_path.c_str(), &st) != 0) return false;
  return !(S_ISREG(st.st_mode) && quiet_size >= 0 && st.st_size == quiet_size);
}

ChooserOutcome ChooserEnter(ChooserState* state, int highlighted, int rules) {
  if (state->name.empty()) {
    if (highlighted < 0 || static_cast<size_t>(highlighted) >= state->entries.size()) {
      return Refused("Type a name");
    }
    const ChooserEntry& entry = state->entries[static_cast<size_t>(highlighted)];
    if (entry.name == "..") return ChooserUp(state) ? Opened() : Refused("No folder above");
    if (entry.folder) return OpenFolder(state, JoinHost(state->folder, entry.name));
    return Chosen(PathFor(*state, Utf8ToUtf16(entry.name)));
  }
  const std::u16string& name = state->name;
  bool device = name[0] == u'\\';
  bool home = !HomePath(name).empty();
  std::string host = TypedHostPath(*state, name);
  if (IsFolder(host)) return OpenFolder(state, host);
  if (rules & kChooserMustExist) {
    struct stat st;
    if (stat(host.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return Refused("No such file");
  }
  if ((rules & kChooserFolderMustExist) && !device && !IsFolder(FolderOf(host))) {
    return Refused("No such folder");
  }
  if (home) return Chosen(Utf8ToUtf16(host));
  return Chosen(device || name[0] == u'/' ? name : PathFor(*state, name));
}

bool ChooserUp(ChooserState* state) {
  if (state->folder == "/" || state->folder.empty()) return false;
  size_t cut = state->folder.rfind('/');
  state->came_from = cut == std::string::npos ? std::string() : state->folder.substr(cut + 1);
  state->folder = cut == 0 || cut == std::string::npos ? "/" : state->folder.substr(0, cut);
  state->name.clear();
  return true;
}

bool ChooserToggleMark(ChooserState* state, int index) {
  if (index < 0 || static_cast<size_t>(index) >= state->entries.size()) return false;
  if (state->entries[static_cast<size_t>(index)].folder) return false;
  state->marked.resize(state->entries.size());
  state->marked[static_cast<size_t>(index)] = state->marked[static_cast<size_t>(index)] ? 0 : 1;
  return true;
}

bool ChooserMarked(const ChooserState& state, int index) {
  return index >= 0 && static_cast<size_t>(index) < state.marked.size() &&
         state.marked[static_cast<size_t>(index)] != 0;
}

int ChooserMarkedCount(const ChooserState& state) {
  int count = 0;
  for (size_t i = 0; i < state.marked.size() && i < state.entries.size(); ++i) {
    if (state.marked[i]) ++count;
  }
  return count;
}

std::vector<std::u16string> ChooserMarkedPaths(const ChooserState& state) {
  std::vector<std::u16string> paths;
  for (size_t i = 0; i < state.marked.size() && i < state.entries.size(); ++i) {
    if (state.marked[i]) paths.push_back(PathFor(state, Utf8ToUtf16(state.entries[i].name)));
  }
  return paths;
}
