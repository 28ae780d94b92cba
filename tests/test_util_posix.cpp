// The test helpers that touch the host: scratch folders, environment,
// commands through /bin/sh.
#include "test_util.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

int g_counter = 0;

}  // namespace

const char kNullDevice[] = "/dev/null";
const char kFullDevice[] = "/dev/full";
const size_t kPrefixCutLimit = SIZE_MAX;

TempDir::TempDir() {
  const char* root = std::getenv("WAYCONV_TEST_ROOT");
  std::string base = root != nullptr ? root : "/tmp";
  path_ = base + "/t" + std::to_string(++g_counter);
  std::string command = "rm -rf '" + path_ + "' && mkdir -p '" + path_ + "'";
  if (std::system(command.c_str()) != 0) ADD_FAILURE() << "cannot make " << path_;
}

TempDir::~TempDir() {
  std::string command = "chmod -R u+rwx '" + path_ + "' 2>/dev/null; rm -rf '" + path_ + "'";
  if (std::system(command.c_str()) != 0) std::fprintf(stderr, "cannot remove %s\n", path_.c_str());
}

SavedEnvironment::SavedEnvironment(std::initializer_list<const char*> names) {
  for (const char* name : names) {
    const char* old = std::getenv(name);
    if (old != nullptr) {
      saved_.emplace_back(name, old);
    } else {
      unset_.emplace_back(name);
    }
  }
}

SavedEnvironment::~SavedEnvironment() {
  for (const auto& [name, value] : saved_) setenv(name.c_str(), value.c_str(), 1);
  for (const std::string& name : unset_) unsetenv(name.c_str());
}

PrivateEnvironment::PrivateEnvironment(const TempDir& dir) {
  const std::pair<const char*, const char*> variables[] = {
      {"HOME", "home"}, {"XDG_CONFIG_HOME", "config"}, {"WAYCONV_ROOT", "device"}};
  for (const auto& [name, folder] : variables) {
    std::string path = dir.File(folder);
    if (mkdir(path.c_str(), 0700) != 0) ADD_FAILURE() << "cannot make " << path;
    setenv(name, path.c_str(), 1);
  }
}

bool FileExists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

int RunCommand(const std::string& command, std::string* out, std::string* err) {
  TempDir dir;
  std::string out_file = dir.File("stdout");
  std::string err_file = dir.File("stderr");
  std::string full = "(" + command + ") >'" + out_file + "' 2>'" + err_file + "' </dev/null";
  int status = std::system(full.c_str());
  if (out != nullptr) *out = ReadFile(out_file);
  if (err != nullptr) *err = ReadFile(err_file);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}


bool MakeUnreadable(const std::string& path) {
  return geteuid() != 0 && chmod(path.c_str(), 0) == 0;
}

bool MakeFolder(const std::string& path) { return mkdir(path.c_str(), 0777) == 0; }

void SetTestVariable(const std::string& name, const std::string& value) {
  setenv(name.c_str(), value.c_str(), 1);
}
