// The shell's settings in the real registry, under
// HKEY_CURRENT_USER\Software\Brivex\Wayconv, through the shim's UTF-16 calls.
// The key is the user's own: the test moves nothing it did not make, and
// removes the key it made.
#define WAYCONV_HANDHELD_SHIM
#include "common/globals.h"
#include "host/text.h"
#include "shell/settings.h"
#include "test_util.h"
#include "win32/handheld_types.h"

namespace {

const wchar_t kKey[] = L"Software\\Brivex\\Wayconv";

class RegistrySettingsTest : public WayconvTest {
 protected:
  void SetUp() override {
    WayconvTest::SetUp();
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &key) == ERROR_SUCCESS) {
      RegCloseKey(key);
      GTEST_SKIP() << "this user keeps Wayconv settings; not touching them";
    }
    made_ = true;
  }
  void TearDown() override {
    if (made_) RegDeleteTreeW(HKEY_CURRENT_USER, kKey);
    WayconvTest::TearDown();
  }
  void SetValue(const wchar_t* name, DWORD type, const void* data, DWORD size) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(key);
  }
  bool made_ = false;
};

TEST_F(RegistrySettingsTest, SavedValuesHaveTheirTypesAndSizesAndLoadBack) {
  CopyWide(OutputPath, kOutputPathSize, u"\\Storage Card\\Z\u00fcrich.bin");
  DoSplit = 0;
  SaveSettings();  // the shell asks for no access rights; the key must still take values

  HKEY key;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &key), ERROR_SUCCESS);
  wchar_t path[100] = {};
  DWORD type = 0;
  DWORD size = sizeof path;
  ASSERT_EQ(RegQueryValueExW(key, L"OutputFile", nullptr, &type, reinterpret_cast<BYTE*>(path),
                             &size),
            ERROR_SUCCESS);
  EXPECT_EQ(type, DWORD{REG_SZ});
  EXPECT_EQ(size, (WideLength(OutputPath) + 1) * 2);  // terminator included
  EXPECT_EQ(std::wstring(path), L"\\Storage Card\\Z\u00fcrich.bin");
  DWORD split = 7;
  size = sizeof split;
  ASSERT_EQ(RegQueryValueExW(key, L"DoSplit", nullptr, &type, reinterpret_cast<BYTE*>(&split),
                             &size),
            ERROR_SUCCESS);
  EXPECT_EQ(type, DWORD{REG_DWORD});
  EXPECT_EQ(split, 0u);
  RegCloseKey(key);

  ResetGlobalsForTest();
  EXPECT_EQ(DoSplit, 1);
  EXPECT_EQ(LoadSettings(), ERROR_SUCCESS);
  EXPECT_EQ(DoSplit, 0);
  EXPECT_EQ(Utf16ToUtf8(OutputPath), "\\Storage Card\\Z\xC3\xBCrich.bin");
}

TEST_F(RegistrySettingsTest, ValuesOfOtherTypesOrSizesAreIgnored) {
  SetValue(L"DoSplit", REG_SZ, L"0", 4);
  SetValue(L"OutputFile", REG_DWORD, "\1\0\0\0", 4);
  ResetGlobalsForTest();
  std::string default_path = Utf16ToUtf8(OutputPath);
  EXPECT_EQ(LoadSettings(), ERROR_SUCCESS);
  EXPECT_EQ(DoSplit, 1);
  EXPECT_EQ(Utf16ToUtf8(OutputPath), default_path);

  const DWORD eight[2] = {0, 0};
  SetValue(L"DoSplit", REG_DWORD, eight, 8);  // a DWORD of the wrong size
  EXPECT_EQ(LoadSettings(), ERROR_SUCCESS);
  EXPECT_EQ(DoSplit, 1);
}

}  // namespace
