#include "shell/settings.h"

#include <sys/stat.h>

#include <cstdlib>
#include <optional>

#include "common/globals.h"
#include "platform/registry.h"
#include "host/text.h"
#include "shell/shell_globals.h"
#include "test_util.h"

namespace {

std::string Bytes(std::u16string_view t) {
  return {reinterpret_cast<const char*>(t.data()), t.size() * sizeof(char16_t)};
}
std::string Sz(std::u16string_view text) {
  return Bytes(text) + std::string(2, '\0');
}

// A path of `length` characters, as the dialogs could give it.
std::u16string LongPath(size_t length) {
  std::u16string path = u"\\Storage Card\\";
  while (path.size() < length) path += static_cast<char16_t>(u'a' + path.size() % 26);
  return path;
}

struct Stored {
  DWORD type;
  std::string data;
};

void Store(const char16_t* name, const Stored& value) {
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, 0,
                                           nullptr, &key, nullptr));
  EXPECT_EQ(ERROR_SUCCESS, RegSetValueExW(key, name, 0, value.type,
                                          reinterpret_cast<const BYTE*>(value.data.data()),
                                          static_cast<DWORD>(value.data.size())));
  RegCloseKey(key);
}

class SettingsTest : public WayconvTest {
 protected:
  void SetUp() override {
    WayconvTest::SetUp();
    ResetShellGlobalsForTest();
    UseConfig(dir_.path());
  }
  SavedEnvironment saved_env_{"XDG_CONFIG_HOME"};
  void TearDown() override {
    ResetShellGlobalsForTest();
    WayconvTest::TearDown();
  }
  void UseConfig(const std::string& folder) { setenv("XDG_CONFIG_HOME", folder.c_str(), 1); }
  // A fresh start of the program: defaults, then the stored settings.
  int Restart() {
    ResetGlobalsForTest();
    ResetShellGlobalsForTest();
    for (char16_t& c : PathScratch) c = u'Z';  // whatever the last command left there
    return LoadSettings();
  }
};

TEST_F(SettingsTest, FirstStartKeepsTheDefaults) {
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, Restart());
  EXPECT_EQ(std::u16string(kDefaultOutputPath), OutputPath);
  EXPECT_EQ(1, DoSplit);
  EXPECT_FALSE(FileExists(RegistryFilePath()));
}

TEST_F(SettingsTest, SavedSettingsComeBack) {
  struct Case {
    std::u16string path;
    int split;
  } cases[] = {
      {u"\\Карты\\трек \"1\".bin", 0},
      {LongPath(2037), 1},  // the longest path the dialogs allow
      {LongPath(kOutputPathSize - 1), 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path.size());
    CopyWide(OutputPath, kOutputPathSize, c.path);
    DoSplit = c.split;
    SaveSettings();
    EXPECT_EQ(ERROR_SUCCESS, Restart());
    EXPECT_EQ(c.path, OutputPath);
    EXPECT_EQ(c.split, DoSplit);
  }
  std::string file = ReadFile(RegistryFilePath());
  EXPECT_NE(std::string::npos, file.find("[HKEY_CURRENT_USER\\Software\\Brivex\\Wayconv]\r\n"));
  EXPECT_NE(std::string::npos, file.find("\"DoSplit\"=dword:00000000\r\n"));
}

TEST_F(SettingsTest, OnlyValidStoredValuesAreTaken) {
  const std::u16string fallback = kDefaultOutputPath;
  struct Case {
    const char* label;
    std::optional<Stored> output_file;
    std::optional<Stored> do_split;
    std::u16string path;  // OutputPath after loading
    int split;            // DoSplit after loading
  } cases[] = {
      {"split off", {}, Stored{REG_DWORD, std::string(4, '\0')}, fallback, 0},
      {"split as text", {}, Stored{REG_SZ, Sz(u"0")}, fallback, 1},
      {"split of 2 bytes", {}, Stored{REG_DWORD, std::string(2, '\0')}, fallback, 1},
      {"split of 8 bytes", {}, Stored{REG_DWORD, std::string(8, '\0')}, fallback, 1},
      {"split as binary", {}, Stored{REG_BINARY, std::string(4, '\0')}, fallback, 1},
      {"path as binary", Stored{REG_BINARY, Sz(u"\\a.bin")}, {}, fallback, 1},
      {"path expandable", Stored{REG_EXPAND_SZ, Sz(u"\\a.bin")}, {}, fallback, 1},
      {"path of size 0", Stored{REG_SZ, ""}, {}, fallback, 1},
      {"path empty", Stored{REG_SZ, Sz(u"")}, {}, fallback, 1},
      {"path without end", Stored{REG_SZ, Bytes(u"\\a.bin")}, {}, u"\\a.bin", 1},
      {"path of odd size", Stored{REG_SZ, Bytes(u"\\a") + "b"}, {}, u"\\a", 1},
      {"path with inner end", Stored{REG_SZ, Sz(std::u16string(u"\\a\0\\b", 5))}, {}, u"\\a", 1},
      {"path of 1500", Stored{REG_SZ, Sz(LongPath(1500))}, {}, LongPath(1500), 1},
      {"path of 2037", Stored{REG_SZ, Sz(LongPath(2037))}, {}, LongPath(2037), 1},
      {"path over the buffer", Stored{REG_SZ, Sz(LongPath(2048))}, {}, fallback, 1},
      {"path filling the buffer", Stored{REG_SZ, Bytes(LongPath(2048))}, {}, fallback, 1},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    UseConfig(dir_.File("case" + std::to_string(++n)));
    if (c.output_file) Store(u"OutputFile", *c.output_file);
    if (c.do_split) Store(u"DoSplit", *c.do_split);
    EXPECT_EQ(ERROR_SUCCESS, Restart());
    EXPECT_EQ(c.path, OutputPath);
    EXPECT_EQ(c.split, DoSplit);
  }
}

TEST_F(SettingsTest, ThinShapeIsKeptLikeDoSplit) {
  auto dword = [](uint32_t value) { return std::string(reinterpret_cast<const char*>(&value), 4); };
  struct Case {
    const char* label;
    std::optional<Stored> stored;
    int before;  // ThinShape before loading
    int shape;   // after
  } cases[] = {
      {"absent", {}, 0, 0},        {"absent, on before", {}, 1, 1},
      {"0", Stored{REG_DWORD, dword(0)}, 1, 0}, {"1", Stored{REG_DWORD, dword(1)}, 0, 1},
      {"7", Stored{REG_DWORD, dword(7)}, 0, 1}, {"as text", Stored{REG_SZ, Sz(u"1")}, 0, 0},
      {"of 8 bytes", Stored{REG_DWORD, std::string(8, '\1')}, 0, 0},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    UseConfig(dir_.File("thin" + std::to_string(++n)));
    Store(u"DoSplit", Stored{REG_DWORD, dword(1)});
    if (c.stored) Store(u"ThinShape", *c.stored);
    ThinShape = c.before;
    EXPECT_EQ(ERROR_SUCCESS, LoadSettings());
    EXPECT_EQ(c.shape, ThinShape);
  }
  ThinShape = 1;
  SaveSettings();
  EXPECT_NE(std::string::npos, ReadFile(RegistryFilePath()).find("\"ThinShape\"=dword:00000001\r\n"));
  ThinShape = 0;
  EXPECT_EQ(ERROR_SUCCESS, Restart());
  EXPECT_EQ(1, ThinShape);
}

TEST_F(SettingsTest, StrictInputIsReadAndNeverWritten) {
  auto dword = [](uint32_t value) { return std::string(reinterpret_cast<const char*>(&value), 4); };
  struct Case {
    const char* label;
    std::optional<Stored> stored;
    int strict;
  } cases[] = {
      {"absent", {}, 0},
      {"0", Stored{REG_DWORD, dword(0)}, 0},
      {"1", Stored{REG_DWORD, dword(1)}, 1},
      {"as text", Stored{REG_SZ, Sz(u"1")}, 0},
      {"of 2 bytes", Stored{REG_DWORD, std::string("\x01\x00", 2)}, 0},
      {"as binary", Stored{REG_BINARY, dword(1)}, 0},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    UseConfig(dir_.File("strict" + std::to_string(++n)));
    Store(u"DoSplit", Stored{REG_DWORD, dword(1)});
    if (c.stored) Store(u"StrictInput", *c.stored);
    StrictInput = 1 - c.strict;  // the load must set it either way
    EXPECT_EQ(ERROR_SUCCESS, LoadSettings());
    EXPECT_EQ(c.strict, StrictInput);
    // Saving keeps what the user stored, and adds nothing.
    std::string before = ReadFile(RegistryFilePath());
    SaveSettings();
    std::string after = ReadFile(RegistryFilePath());
    EXPECT_EQ(before.find("StrictInput") != std::string::npos,
              after.find("StrictInput") != std::string::npos);
    EXPECT_EQ(c.stored.has_value(), after.find("\"StrictInput\"") != std::string::npos);
  }
}

TEST_F(SettingsTest, UnwritableStoreIsSilent) {
  UseConfig(dir_.File("blocked"));
  mkdir(dir_.File("blocked").c_str(), 0700);
  WriteFile(dir_.File("blocked/wayconv"), "not a folder");
  CopyWide(OutputPath, kOutputPathSize, u"\\x.bin");
  DoSplit = 0;
  SaveSettings();
  EXPECT_EQ(std::u16string(u"\\x.bin"), OutputPath);  // the values in memory stand
  EXPECT_EQ(0, DoSplit);
  EXPECT_EQ("not a folder", ReadFile(dir_.File("blocked/wayconv")));
  EXPECT_NE(ERROR_SUCCESS, Restart());
  EXPECT_EQ(std::u16string(kDefaultOutputPath), OutputPath);
  EXPECT_EQ(1, DoSplit);
}

}  // namespace
