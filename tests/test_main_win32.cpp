// Every test run gets a private USERPROFILE and WAYCONV_ROOT (and HOME) under
// a fresh folder in the temporary folder, so no test reads or writes the
// user's own files. The registry key is the user's; tests that write it save
// and restore it themselves.
#include <windows.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "test_util_win32.h"

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  std::error_code error;
  fs::path base = fs::temp_directory_path(error) /
                  ("wayconv-test-" + std::to_string(GetCurrentProcessId()));
  RemoveTree(base.string());
  for (const char* folder : {"home", "device"}) {
    if (!fs::create_directories(base / folder, error)) return 2;
  }
  // Forward slashes throughout: the tests join paths with "/", which every
  // Win32 file call accepts.
  std::wstring root = base.generic_wstring();
  _wputenv_s(L"USERPROFILE", (root + L"/home").c_str());
  _wputenv_s(L"HOME", (root + L"/home").c_str());
  _wputenv_s(L"WAYCONV_ROOT", (root + L"/device").c_str());
  _wputenv_s(L"WAYCONV_TEST_ROOT", root.c_str());
  ::testing::InitGoogleTest(&argc, argv);
  int result = RUN_ALL_TESTS();
  if (!RemoveTree(base.string())) return result == 0 ? 2 : result;
  return result;
}
