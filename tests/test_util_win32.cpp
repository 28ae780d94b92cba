// The test helpers that touch the host, on Windows: scratch folders under the
// run's private root, the environment through _wputenv_s (so that the C
// runtime's getenv and GetEnvironmentVariableW agree), commands through cmd.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "host/text.h"
#include "test_util.h"
#include "test_util_win32.h"

const char kNullDevice[] = "NUL";
const char kFullDevice[] = "";
// Under Wine each open costs 0.1 to 0.7 ms: a few hundred cuts per sample.
const size_t kPrefixCutLimit = 300;

namespace {

int g_counter = 0;

std::wstring WideText(const std::string& text) {
  std::u16string wide = Utf8ToUtf16(text);
  return std::wstring(wide.begin(), wide.end());
}

std::string VariableValue(const char* name, bool* set) {
  wchar_t value[4096];
  DWORD length = GetEnvironmentVariableW(WideText(name).c_str(), value, 4096);
  *set = length > 0 && length < 4096;
  if (!*set) return std::string();
  return Utf16ToUtf8(std::u16string(value, value + length));
}

void SetVariable(const std::string& name, const std::string& value) {
  _wputenv_s(WideText(name).c_str(), WideText(value).c_str());
}

// The "\\?\" form of a path, which the file calls take past MAX_PATH.
std::wstring LongForm(const std::wstring& path) {
  DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  std::wstring full(size, L'\0');
  size = GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
  full.resize(size);
  return L"\\\\?\\" + full;
}

bool RemoveWideTree(const std::wstring& folder) {
  WIN32_FIND_DATAW entry;
  HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &entry);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      std::wstring name = entry.cFileName;
      if (name == L"." || name == L"..") continue;
      std::wstring path = folder + L"\\" + name;
      SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        RemoveWideTree(path);
      } else {
        DeleteFileW(path.c_str());
      }
    } while (FindNextFileW(search, &entry));
    FindClose(search);
  }
  return RemoveDirectoryW(folder.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND ||
         GetLastError() == ERROR_PATH_NOT_FOUND;
}

}  // namespace

bool RemoveTree(const std::string& path) { return RemoveWideTree(LongForm(WideText(path))); }

TempDir::TempDir() {
  bool set = false;
  std::string base = VariableValue("WAYCONV_TEST_ROOT", &set);
  if (!set) base = std::filesystem::temp_directory_path().string();
  path_ = base + "/t" + std::to_string(++g_counter);
  RemoveTree(path_);
  std::error_code error;
  if (!std::filesystem::create_directories(std::filesystem::u8path(path_), error)) {
    ADD_FAILURE() << "cannot make " << path_;
  }
}

TempDir::~TempDir() {
  if (!RemoveTree(path_)) std::fprintf(stderr, "cannot remove %s\n", path_.c_str());
}

SavedEnvironment::SavedEnvironment(std::initializer_list<const char*> names) {
  for (const char* name : names) {
    bool set = false;
    std::string old = VariableValue(name, &set);
    if (set) {
      saved_.emplace_back(name, old);
    } else {
      unset_.emplace_back(name);
    }
  }
}

SavedEnvironment::~SavedEnvironment() {
  for (const auto& [name, value] : saved_) SetVariable(name, value);
  for (const std::string& name : unset_) SetVariable(name, "");  // "" removes it
}

PrivateEnvironment::PrivateEnvironment(const TempDir& dir) {
  const std::pair<const char*, const char*> variables[] = {{"USERPROFILE", "home"},
                                                           {"HOME", "home"},
                                                           {"XDG_CONFIG_HOME", "config"},
                                                           {"WAYCONV_ROOT", "device"}};
  for (const auto& [name, folder] : variables) {
    std::string path = dir.File(folder);
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::u8path(path), error);
    SetVariable(name, path);
  }
}

bool FileExists(const std::string& path) {
  std::error_code error;
  return std::filesystem::exists(std::filesystem::symlink_status(std::filesystem::u8path(path), error));
}

int RunCommand(const std::string& command, std::string* out, std::string* err) {
  TempDir dir;
  std::string out_file = dir.File("stdout");
  std::string err_file = dir.File("stderr");
  std::string full = "(" + command + ") >\"" + out_file + "\" 2>\"" + err_file + "\" <NUL";
  int status = _wsystem(WideText(full).c_str());
  if (out != nullptr) *out = ReadFile(out_file);
  if (err != nullptr) *err = ReadFile(err_file);
  return status;
}

bool MakeUnreadable(const std::string&) { return false; }

bool MakeFolder(const std::string& path) {
  return CreateDirectoryW(WideText(path).c_str(), nullptr) != 0;
}

void SetTestVariable(const std::string& name, const std::string& value) {
  SetVariable(name, value);
}
