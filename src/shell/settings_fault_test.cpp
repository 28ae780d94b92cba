// The settings store meets a damaged or unusable registry file: settings load
// as the defaults or the values still whole in the file, nothing crashes or
// blocks, and the file is never damaged. A save that cannot read the file
// leaves it byte for byte as it was; a save that can keeps every other key.
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

#include "common/globals.h"
#include "platform/registry.h"
#include "host/text.h"
#include "shell/settings.h"
#include "shell/shell_globals.h"
#include "test_util.h"

namespace {

namespace fs = std::filesystem;

const std::u16string kSavedPath = u"\\Storage Card\\saved.bin";
const std::u16string kNewPath = u"\\Storage Card\\new.bin";

class SettingsFaultTest : public WayconvTest {
 protected:
  void SetUp() override {
    WayconvTest::SetUp();
    ResetShellGlobalsForTest();
  }
  void TearDown() override {
    ResetShellGlobalsForTest();
    WayconvTest::TearDown();
  }

  // A fresh start of the program: defaults, then the stored settings.
  int Restart() {
    ResetGlobalsForTest();
    ResetShellGlobalsForTest();
    return LoadSettings();
  }

  void Save(const std::u16string& path, int split) {
    CopyWide(OutputPath, kOutputPathSize, path);
    DoSplit = split;
    SaveSettings();
  }

  // The value "Keep" of another program's key, or "" when it does not read.
  std::u16string OtherKey() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\Other", 0, KEY_READ, &key) != ERROR_SUCCESS) {
      return u"";
    }
    char16_t text[16] = {};
    DWORD size = sizeof text - sizeof(char16_t);
    LONG status =
        RegQueryValueExW(key, u"Keep", nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size);
    RegCloseKey(key);
    return status == ERROR_SUCCESS ? std::u16string(text) : u"";
  }

  // A registry file holding another key first, then the saved settings.
  std::string GoodFile() {
    HKEY key = nullptr;
    EXPECT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, u"Software\\Other", 0, nullptr, 0,
                                             0, nullptr, &key, nullptr));
    const char16_t kept[] = u"kept";
    EXPECT_EQ(ERROR_SUCCESS, RegSetValueExW(key, u"Keep", 0, REG_SZ,
                                            reinterpret_cast<const BYTE*>(kept), sizeof kept));
    RegCloseKey(key);
    Save(kSavedPath, 0);
    std::string good = ReadFile(file_);
    fs::remove(file_);
    return good;
  }

  void WriteRegistry(const std::string& bytes) {
    fs::create_directories(folder_);
    WriteFile(file_, bytes);
  }

  // The registry's own temporaries left in its folder.
  int Temporaries() {
    int count = 0;
    for (const auto& entry : fs::directory_iterator(folder_)) {
      if (entry.path().filename().string().find(".wayconv-") != std::string::npos) ++count;
    }
    return count;
  }

  PrivateEnvironment environment_{dir_};
  std::string file_ = RegistryFilePath();
  std::string folder_ = fs::path(file_).parent_path().string();
};

// Little-endian UTF-16 with a byte order mark, as the registry editor exports.
std::string Utf16File(const std::string& utf8) {
  std::string bytes = "\xFF\xFE";
  for (char16_t c : Utf8ToUtf16(utf8)) {
    bytes += static_cast<char>(c & 0xFF);
    bytes += static_cast<char>(c >> 8);
  }
  return bytes;
}

TEST_F(SettingsFaultTest, DamagedFileLoadsWhatIsWholeAndSavesBesideTheRest) {
  const std::string good = GoodFile();
  std::string garbage;
  for (int i = 0; i < 4096; ++i) garbage += static_cast<char>((i * 7919 + 13) % 251);
  const size_t path_line = good.find("\"OutputFile\"");
  const size_t split_line = good.find("\"DoSplit\"");
  ASSERT_LT(path_line, split_line);  // saved in this order
  struct Case {
    const char* label;
    std::string bytes;
    std::u16string path;  // loaded
    int split;            // loaded
    bool other_key;       // the other key is in the file
    bool bytes_kept;      // the save only adds to the file
  } cases[] = {
      {"empty", "", kDefaultOutputPath, 1, false, true},
      {"binary garbage", garbage, kDefaultOutputPath, 1, false, true},
      {"garbage after the settings", good + garbage, kSavedPath, 0, true, false},
      {"cut inside the path", good.substr(0, path_line + 20), kDefaultOutputPath, 1, true, true},
      {"cut inside the switch", good.substr(0, split_line + 20), kSavedPath, 1, true, false},
      {"cut before the last line end", good.substr(0, good.size() - 1), kSavedPath, 0, true,
       false},
      // A UTF-16 file is saved as UTF-8; its values stay.
      {"UTF-16 cut inside the switch", Utf16File(good).substr(0, 2 * split_line + 41), kSavedPath,
       1, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    WriteRegistry(c.bytes);
    Restart();
    EXPECT_EQ(std::u16string(OutputPath), c.path);
    EXPECT_EQ(DoSplit, c.split);
    EXPECT_EQ(OtherKey(), c.other_key ? u"kept" : u"");

    Save(kNewPath, 1);
    Restart();
    EXPECT_EQ(std::u16string(OutputPath), kNewPath);
    EXPECT_EQ(DoSplit, 1);
    EXPECT_EQ(OtherKey(), c.other_key ? u"kept" : u"");
    if (c.bytes_kept) {
      EXPECT_NE(ReadFile(file_).find(c.bytes), std::string::npos);
    }
    EXPECT_EQ(Temporaries(), 0);
  }
}

TEST_F(SettingsFaultTest, FileCutAtEveryLengthNeverGivesAPartValue) {
  // A path cut short would name another file; a cut number another setting.
  const std::string good = GoodFile();
  for (const std::string& whole : {good, Utf16File(good)}) {
    for (size_t length = 0; length <= whole.size(); ++length) {
      WriteRegistry(whole.substr(0, length));
      Restart();
      std::u16string path = OutputPath;
      ASSERT_TRUE(path == kDefaultOutputPath || path == kSavedPath) << length;
      ASSERT_TRUE(DoSplit == 1 || DoSplit == 0) << length;
    }
    EXPECT_EQ(std::u16string(OutputPath), kSavedPath);
    EXPECT_EQ(DoSplit, 0);
  }
}

TEST_F(SettingsFaultTest, UnusableFileLoadsDefaultsAndIsNeverTouched) {
  const std::string good = GoodFile();
  struct Case {
    const char* label;
    std::function<void()> make;
    std::function<void()> unchanged;  // checks the file is as it was made
  } cases[] = {
      // Over the size the store reads: even the settings at its start are not used.
      {"huge file",
       [&] {
         WriteRegistry(good);
         ASSERT_EQ(truncate(file_.c_str(), 50 << 20), 0);
       },
       [&] {
         std::string bytes = ReadFile(file_);
         ASSERT_EQ(bytes.size(), size_t{50} << 20);
         EXPECT_TRUE(bytes.starts_with(good));
         EXPECT_EQ(bytes.find_first_not_of('\0', good.size()), std::string::npos);
       }},
      {"folder in its place",
       [&] {
         fs::create_directories(file_);
         WriteFile(file_ + "/inside", good);
       },
       [&] {
         EXPECT_TRUE(fs::is_directory(file_));
         EXPECT_EQ(ReadFile(file_ + "/inside"), good);
       }},
      // Opening must not wait for a writer.
      {"FIFO in its place",
       [&] {
         fs::create_directories(folder_);
         ASSERT_EQ(mkfifo(file_.c_str(), 0600), 0);
       },
       [&] { EXPECT_TRUE(fs::is_fifo(file_)); }},
      {"link to an endless device",
       [&] {
         fs::create_directories(folder_);
         ASSERT_EQ(symlink("/dev/zero", file_.c_str()), 0);
       },
       [&] { EXPECT_EQ(fs::read_symlink(file_).string(), "/dev/zero"); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    fs::remove_all(folder_);
    c.make();
    EXPECT_EQ(Restart(), ERROR_CANTREAD);
    EXPECT_EQ(std::u16string(OutputPath), kDefaultOutputPath);
    EXPECT_EQ(DoSplit, 1);
    Save(kNewPath, 0);
    c.unchanged();
    EXPECT_EQ(Temporaries(), 0);
    // The values in memory stand for the rest of the run.
    EXPECT_EQ(std::u16string(OutputPath), kNewPath);
    EXPECT_EQ(DoSplit, 0);
  }
}

TEST_F(SettingsFaultTest, UnreadableFileLoadsDefaultsAndIsNeverTouched) {
  if (geteuid() == 0) {
    GTEST_SKIP() << "root reads a file of mode 000 regardless; the folder, FIFO and huge file "
                    "cases stand in for it";
  }
  const std::string good = GoodFile();
  WriteRegistry(good);
  ASSERT_EQ(chmod(file_.c_str(), 0), 0);
  EXPECT_EQ(Restart(), ERROR_CANTREAD);
  EXPECT_EQ(std::u16string(OutputPath), kDefaultOutputPath);
  Save(kNewPath, 0);
  ASSERT_EQ(chmod(file_.c_str(), 0600), 0);
  EXPECT_EQ(ReadFile(file_), good);
  EXPECT_EQ(Temporaries(), 0);
}

}  // namespace
