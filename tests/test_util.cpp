#include "test_util.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "common/globals.h"
#include "common/message_log.h"
#include "conversion/track_file.h"
#include "host/text.h"
#include "readers/gpx_reader.h"
#include "readers/nmea_reader.h"

namespace {

int g_counter = 0;

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

}  // namespace

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

void ResetAllForTest() {
  ResetGlobalsForTest();
  ResetTrackFileForTest();
  GpxPointElement = kGpxTrackPoints;
  NmeaReadMode = kNmeaGprmcOnly;
  ResetNmeaFixTime();
}

void WayconvTest::SetUp() { ResetAllForTest(); }
void WayconvTest::TearDown() { ResetAllForTest(); }

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadFile(const std::string& path) { return Slurp(path); }

bool FileExists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

std::u16string W(const std::string& text) { return Utf8ToUtf16(text); }

std::string LogText() { return Utf16ToUtf8(MessageLog); }

void PrepareRun(const std::string& input, int kind, const std::string& output) {
  CopyWide(InputPath, kInputPathSize, W(input));
  InputKind = kind;
  CopyWide(OutputPath, kOutputPathSize, W(output));
}

uint32_t WordAt(const std::string& bytes, size_t offset) {
  return static_cast<uint32_t>(static_cast<unsigned char>(bytes.at(offset))) |
         static_cast<uint32_t>(static_cast<unsigned char>(bytes.at(offset + 1))) << 8 |
         static_cast<uint32_t>(static_cast<unsigned char>(bytes.at(offset + 2))) << 16 |
         static_cast<uint32_t>(static_cast<unsigned char>(bytes.at(offset + 3))) << 24;
}

int RunCommand(const std::string& command, std::string* out, std::string* err) {
  TempDir dir;
  std::string out_file = dir.File("stdout");
  std::string err_file = dir.File("stderr");
  std::string full = "(" + command + ") >'" + out_file + "' 2>'" + err_file + "' </dev/null";
  int status = std::system(full.c_str());
  if (out != nullptr) *out = Slurp(out_file);
  if (err != nullptr) *err = Slurp(err_file);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string PltFile(const std::vector<std::pair<double, double>>& points) {
  std::string text =
      "OziExplorer Track Point File Version 2.1\r\n"
      "WGS 84\r\n"
      "Altitude is in Feet\r\n"
      "Reserved 3\r\n"
      "0,2,255,Track,0,0,2,8421376\r\n"
      "0\r\n";
  char line[128];
  for (const auto& [lat, lon] : points) {
    std::snprintf(line, sizeof line, "%.7f,%.7f,0,-777,0,,\r\n", lat, lon);
    text += line;
  }
  return text;
}
