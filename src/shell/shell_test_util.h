// Shared by the shell's tests: a clean program per test (globals, windows,
// script), a private registry, device root and claim folder, and helpers to
// run the program and read what it saved.
#pragma once

#include <sys/stat.h>

#include <cstdlib>
#include <string>

#include "common/globals.h"
#include "backends/headless/headless_backend.h"
#include "platform/registry.h"
#include "host/text.h"
#include "platform/windows.h"
#include "shell/settings.h"
#include "shell/shell_globals.h"
#include "shell/startup.h"
#include "test_util.h"

class ShellTest : public WayconvTest {
 protected:
  void SetUp() override {
    WayconvTest::SetUp();
    ResetShellGlobalsForTest();
    ResetPlatformForTest();
    UsePlatformBackend(HeadlessBackend());
    HeadlessReset();
    mkdir(dir_.File("run").c_str(), 0700);
    mkdir(dir_.File("device").c_str(), 0700);
    setenv("XDG_CONFIG_HOME", dir_.File("config").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", dir_.File("run").c_str(), 1);
    setenv("WAYCONV_ROOT", dir_.File("device").c_str(), 1);
  }

  void TearDown() override {
    ResetPlatformForTest();
    UsePlatformBackend(HeadlessBackend());
    ResetShellGlobalsForTest();
    WayconvTest::TearDown();
  }

  /// Runs the program on the script queued so far; checks the script fit.
  int Run(const std::string& command_line = "") {
    int code = RunInteractive(HeadlessBackend(), W(command_line).c_str());
    EXPECT_TRUE(HeadlessScriptErrors().empty()) << HeadlessScriptErrors().front();
    EXPECT_EQ(HeadlessPendingSteps(), 0);
    return code;
  }

  /// The n-th screen captured by the script.
  std::string Snapshot(size_t n) {
    const auto& shots = HeadlessSnapshots();
    EXPECT_LT(n, shots.size());
    return n < shots.size() ? shots[n] : std::string();
  }

  /// The default track file under the device root.
  std::string DefaultOutput() {
    return dir_.File("device/My Documents/GPS Tracks and Waypoints/Tracks.bin");
  }

  bool RegistrySaved() { return FileExists(RegistryFilePath()); }

  /// The stored OutputFile and DoSplit, through the registry calls.
  std::u16string StoredOutputFile() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
      return u"<no key>";
    }
    char16_t buffer[4096] = {};
    DWORD type = 0;
    DWORD size = sizeof buffer - sizeof(char16_t);
    LONG status = RegQueryValueExW(key, u"OutputFile", nullptr, &type,
                                   reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(key);
    return status == ERROR_SUCCESS && type == REG_SZ ? std::u16string(buffer) : u"<none>";
  }

  int StoredDoSplit() { return StoredDword(u"DoSplit"); }
  int StoredDword(const char16_t* name) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
      return -1;
    }
    int value = ReadDwordSetting(key, name, -1);
    RegCloseKey(key);
    return value;
  }

  /// Stores a raw value under the settings key.
  void StoreValue(const char16_t* name, DWORD type, const void* data, DWORD size) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_WRITE, nullptr,
                              &key, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size),
              ERROR_SUCCESS);
    RegCloseKey(key);
  }

  /// A PLT file of `count` points 0.001 degrees apart (no track breaks).
  std::string WritePlt(const std::string& name, int count = 3) {
    std::vector<std::pair<double, double>> points;
    for (int i = 0; i < count; ++i) points.push_back({55.0 + i * 0.001, 37.0});
    std::string path = dir_.File(name);
    WriteFile(path, PltFile(points));
    return path;
  }

 private:
  SavedEnvironment saved_env_{"XDG_CONFIG_HOME", "XDG_RUNTIME_DIR", "WAYCONV_ROOT"};
};

/// The default output path as the start-up log shows it.
inline const char kDefaultPathLines[] =
    "Output file:\n\\My Documents\n\\GPS Tracks and Waypoints\n\\Tracks.bin\n";
