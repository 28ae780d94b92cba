#include "shell/settings.h"

#include <cerrno>
#include <string_view>

#include "common/globals.h"
#include "platform/registry.h"
#include "host/text.h"
#include "shell/shell_globals.h"

namespace {

int g_save_error = 0;  // of the last SaveSettings

}  // namespace

int SettingsSaveError() {
  return g_save_error;
}

int ReadDwordSetting(HKEY key, const char16_t* name, int default_value) {
  auto value = static_cast<DWORD>(default_value);
  DWORD type = REG_NONE;
  DWORD size = sizeof value;
  LONG status = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
  if (status != ERROR_SUCCESS || type != REG_DWORD || size != sizeof value) return default_value;
  return static_cast<int>(value);
}

int LoadSettings() {
  HKEY key = nullptr;
  LONG status = RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, &key);
  if (status != ERROR_SUCCESS) return status;
  DoSplit = ReadDwordSetting(key, u"DoSplit", DoSplit);
  ThinShape = ReadDwordSetting(key, u"ThinShape", ThinShape) != 0 ? 1 : 0;
  // Read only: a user sets it to keep to the device's reading of every file.
  StrictInput = ReadDwordSetting(key, u"StrictInput", 0) != 0 ? 1 : 0;

  // The whole scratch buffer is offered, so any path the dialogs can choose
  // comes back. The text ends at its terminator or at the end of the stored
  // bytes, whichever is first; an odd last byte is no character.
  DWORD type = REG_NONE;
  DWORD size = kPathScratchSize * sizeof(char16_t);
  status = RegQueryValueExW(key, u"OutputFile", nullptr, &type,
                            reinterpret_cast<BYTE*>(PathScratch), &size);
  if (status == ERROR_SUCCESS && type == REG_SZ) {
    std::u16string_view text(PathScratch, size / sizeof(char16_t));
    text = text.substr(0, text.find(u'\0'));
    // An empty path would make every conversion fail, and a path too long
    // for OutputPath would name another file once cut: keep the old one.
    if (!text.empty() && text.size() < static_cast<size_t>(kOutputPathSize)) {
      CopyWide(OutputPath, kOutputPathSize, text);
    }
  }
  return RegCloseKey(key);
}

void SaveSettings() {
  HKEY key = nullptr;
  DWORD disposition = 0;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, 0, nullptr, &key,
                      &disposition) != ERROR_SUCCESS) {
    g_save_error = RegistrySaveError() != 0 ? RegistrySaveError() : EIO;
    return;
  }
  auto path_size = static_cast<DWORD>((WideLength(OutputPath) + 1) * sizeof(char16_t));
  LONG path_status = RegSetValueExW(key, u"OutputFile", 0, REG_SZ,
                                    reinterpret_cast<const BYTE*>(OutputPath), path_size);
  auto split = static_cast<DWORD>(DoSplit);
  LONG split_status = RegSetValueExW(key, u"DoSplit", 0, REG_DWORD,
                                     reinterpret_cast<const BYTE*>(&split), sizeof split);
  auto thin = static_cast<DWORD>(ThinShape);
  LONG thin_status = RegSetValueExW(key, u"ThinShape", 0, REG_DWORD,
                                    reinterpret_cast<const BYTE*>(&thin), sizeof thin);
  RegCloseKey(key);
  bool saved = path_status == ERROR_SUCCESS && split_status == ERROR_SUCCESS &&
               thin_status == ERROR_SUCCESS;
  g_save_error = saved ? 0 : RegistrySaveError() != 0 ? RegistrySaveError() : EIO;
}
