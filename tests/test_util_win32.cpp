// The test helpers that touch the host, on Windows: scratch folders under the
// run's private root, the environment through _wputenv_s (so that the C
// runtime's getenv and GetEnvironmentVariableW agree), commands through cmd.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "host/text.h"
#include "test_util.h"

const char kNullDevice[] = "NUL";
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

}  // namespace

TempDir::TempDir() {
  bool set = false;
  std::string base = VariableValue("WAYCONV_TEST_ROOT", &set);
  if (!set) base = std::filesystem::temp_directory_path().string();
  path_ = base + "/t" + std::to_string(++g_counter);
  std::error_code error;
  std::filesystem::remove_all(std::filesystem::u8path(path_), error);
  if (!std::filesystem::create_directories(std::filesystem::u8path(path_), error)) {
    ADD_FAILURE() << "cannot make " << path_;
  }
}

TempDir::~TempDir() {
  std::error_code error;
  std::filesystem::remove_all(std::filesystem::u8path(path_), error);
  if (error) std::fprintf(stderr, "cannot remove %s\n", path_.c_str());
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
