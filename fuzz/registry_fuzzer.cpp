// The registry file on arbitrary contents. The bytes become the registry file
// of a private config folder; then the program reads its settings from it,
// the value queries are checked for consistent sizes, and two writes are made
// and read back: an arbitrary value (its type and bytes taken from the input)
// and the program's own settings. Whatever the file held before, a value just
// stored must read back as the very same type and bytes.
#include <sys/stat.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "common/globals.h"
#include "fuzz_scratch.h"
#include "host/text.h"
#include "platform/registry.h"
#include "shell/settings.h"
#include "shell/shell_globals.h"

namespace {

std::string g_file;

struct Value {
  LONG status = ERROR_FILE_NOT_FOUND;
  DWORD type = REG_NONE;
  std::string bytes;
};

// Reads `name` the way a careful caller does: the size first, then a buffer
// of exactly that size. Checks that a buffer one byte short is refused.
Value Query(HKEY key, const char16_t* name) {
  Value v;
  DWORD size = 0;
  v.status = RegQueryValueExW(key, name, nullptr, &v.type, nullptr, &size);
  if (v.status != ERROR_SUCCESS) return v;
  std::vector<BYTE> buffer(size + 1, 0xA5);
  DWORD got = size;
  DWORD type = REG_NONE;
  LONG status = RegQueryValueExW(key, name, nullptr, &type, buffer.data(), &got);
  FuzzCheck(status == ERROR_SUCCESS && got == size && type == v.type,
            "a value read differently with the size it reported");
  FuzzCheck(buffer[size] == 0xA5, "a value query wrote past the size it was given");
  if (size > 0) {
    DWORD short_size = size - 1;
    FuzzCheck(RegQueryValueExW(key, name, nullptr, nullptr, buffer.data(), &short_size) ==
                      ERROR_MORE_DATA &&
                  short_size == size,
              "a short buffer was not refused with the size needed");
  }
  v.bytes.assign(reinterpret_cast<const char*>(buffer.data()), size);
  return v;
}

HKEY OpenSettings() {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return nullptr;
  }
  return key;
}

void ResetAll() {
  ResetGlobalsForTest();
  ResetShellGlobalsForTest();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  const std::string& dir = FuzzScratchDir();
  std::string config = dir + "/config";
  mkdir(config.c_str(), 0700);
  mkdir((config + "/wayconv").c_str(), 0700);
  setenv("XDG_CONFIG_HOME", config.c_str(), 1);
  g_file = RegistryFilePath();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  WriteScratchFile(g_file, data, size);
  ResetAll();

  // Reading: the program's settings, then the consistency of the queries.
  LoadSettings();
  if (HKEY key = OpenSettings()) {
    Query(key, u"OutputFile");
    Query(key, u"DoSplit");
    Query(key, nullptr);
    RegCloseKey(key);
  }

  // Writing a value of an arbitrary type and size: the last bytes of the input.
  HKEY key = nullptr;
  FuzzCheck(RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_WRITE, nullptr,
                            &key, nullptr) == ERROR_SUCCESS,
            "the settings key could not be created");
  size_t tail = size < 24 ? size : 24;
  std::string stored(reinterpret_cast<const char*>(data) + size - tail, tail);
  DWORD type = static_cast<DWORD>(size % 12);
  FuzzCheck(RegSetValueExW(key, u"Fuzz", 0, type, reinterpret_cast<const BYTE*>(stored.data()),
                           static_cast<DWORD>(stored.size())) == ERROR_SUCCESS,
            "a value could not be stored");
  Value back = Query(key, u"Fuzz");
  FuzzCheck(back.status == ERROR_SUCCESS && back.type == type && back.bytes == stored,
            "a stored value did not read back as stored");
  RegCloseKey(key);

  // The program's own round trip: what SaveSettings stores, LoadSettings finds.
  std::u16string output = u"\\My Documents\\Fuzz ";
  output += static_cast<char16_t>(u'a' + size % 26);
  output += u".bin";
  CopyWide(OutputPath, kOutputPathSize, output);
  DoSplit = static_cast<int>(size % 3);
  int split = DoSplit;
  SaveSettings();
  ResetAll();
  DoSplit = 7;
  FuzzCheck(LoadSettings() == ERROR_SUCCESS, "the saved settings key could not be opened");
  FuzzCheck(std::u16string(OutputPath) == output && DoSplit == split,
            "the settings saved did not load back");
  ResetAll();
  return 0;
}
