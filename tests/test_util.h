// Helpers shared by the tests: a private scratch folder per test, file I/O,
// and a clean slate of program-wide state.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include <gtest/gtest.h>

/// A fresh folder under the test run's private root, removed at destruction.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

/// Saves the named environment variables and puts them back (or unsets
/// them again) at destruction, whatever the test set meanwhile.
class SavedEnvironment {
 public:
  explicit SavedEnvironment(std::initializer_list<const char*> names);
  ~SavedEnvironment();
  SavedEnvironment(const SavedEnvironment&) = delete;
  SavedEnvironment& operator=(const SavedEnvironment&) = delete;

 private:
  std::vector<std::pair<std::string, std::string>> saved_;  // name, old value
  std::vector<std::string> unset_;                          // names that were unset
};

/// Sets the environment variable `name` to `value` ("" unsets it on
/// Windows); SavedEnvironment puts it back.
void SetTestVariable(const std::string& name, const std::string& value);

/// Points HOME, XDG_CONFIG_HOME and WAYCONV_ROOT (and USERPROFILE on
/// Windows) at fresh folders inside
/// `dir` while it lives, and back at their old values afterwards.
class PrivateEnvironment {
 public:
  explicit PrivateEnvironment(const TempDir& dir);

 private:
  SavedEnvironment saved_{"HOME", "XDG_CONFIG_HOME", "WAYCONV_ROOT", "USERPROFILE"};
};

/// Resets every layer's program-wide state below the shell.
void ResetAllForTest();

/// A test fixture that resets all program-wide state before and after each
/// test and gives it a scratch folder.
class WayconvTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  TempDir dir_;
};

void WriteFile(const std::string& path, const std::string& bytes);
std::string ReadFile(const std::string& path);
bool FileExists(const std::string& path);

/// The UTF-16 form of a UTF-8 text.
std::u16string W(const std::string& text);
/// The UTF-8 form of the MessageLog.
std::string LogText();

/// Sets InputPath, InputKind and OutputPath for a conversion run.
void PrepareRun(const std::string& input, int kind, const std::string& output);

/// Little-endian 32-bit word of `bytes` at `offset`.
uint32_t WordAt(const std::string& bytes, size_t offset);

/// The host's null device ("/dev/null", "NUL" on Windows).
extern const char kNullDevice[];

/// A device every write to fails for want of space ("/dev/full"); empty
/// where the host has none (Windows).
extern const char kFullDevice[];

/// Makes the file `path` unreadable to this process; false where that cannot
/// be done (as root, who reads any file, and on Windows).
bool MakeUnreadable(const std::string& path);

/// Makes the folder `path` (its parent exists); true if it was made.
bool MakeFolder(const std::string& path);

/// At most how many prefix lengths past the first 64 bytes the reader tests
/// cut a sample at: each one costs a few file opens.
extern const size_t kPrefixCutLimit;

/// Runs a command line through /bin/sh; returns its exit status and fills
/// `out` with what it printed on standard output (and `err` on standard error).
int RunCommand(const std::string& command, std::string* out, std::string* err = nullptr);

/// A PLT file: the six-line header, then one "lat,lon,..." line per point.
std::string PltFile(const std::vector<std::pair<double, double>>& points);
