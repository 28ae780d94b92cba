// Standard input copied to a temporary file on Windows: in the user's
// temporary folder (GetTempPathW: TMP, TEMP, else the profile's), created new
// and private to this program, removed by RemoveStandardInputCopy and, when
// the console is interrupted (Ctrl+C, Ctrl+Break, closing the window), by the
// console's control handler before the program ends.
#include <windows.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "app/batch.h"
#include "app/standard_input.h"
#include "host/atomic_file.h"
#include "host/text.h"
#include "host/win32_path.h"

namespace {

constexpr DWORD kCopyBlockSize = 64 * 1024;

// The copy, for the control handler, which runs on a thread of its own.
CRITICAL_SECTION g_lock;
bool g_lock_ready = false;
std::wstring g_copy_path;  // empty when there is no copy

void RemoveCopy() {
  EnterCriticalSection(&g_lock);
  if (!g_copy_path.empty()) DeleteFileW(g_copy_path.c_str());
  g_copy_path.clear();
  LeaveCriticalSection(&g_lock);
}

BOOL WINAPI RemoveCopyOnInterrupt(DWORD) {
  RemoveCopy();
  return FALSE;  // and on to the default handling: the program ends
}

bool Fail(const std::string& what, const char* advice, HANDLE file) {
  int error = errno;
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  RemoveStandardInputCopy();
  PrintError(what + ": " + std::strerror(error) + advice);
  return false;
}

}  // namespace

bool CopyStandardInput(std::string* path) {
  if (!g_lock_ready) {
    InitializeCriticalSection(&g_lock);
    SetConsoleCtrlHandler(RemoveCopyOnInterrupt, TRUE);
    g_lock_ready = true;
  }
  wchar_t folder[MAX_PATH + 1];
  DWORD length = GetTempPathW(MAX_PATH + 1, folder);
  if (length == 0 || length > MAX_PATH) {
    PrintError("the temporary folder's path is too long; set TMP to a shorter path");
    return false;
  }
  HANDLE file = INVALID_HANDLE_VALUE;
  std::wstring name;
  for (unsigned attempt = 0; attempt < 100 && file == INVALID_HANDLE_VALUE; ++attempt) {
    name = std::wstring(folder, length) + L"wayconv-stdin-" +
           std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(attempt);
    EnterCriticalSection(&g_lock);
    file = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                       FILE_ATTRIBUTE_TEMPORARY, nullptr);
    if (file != INVALID_HANDLE_VALUE) g_copy_path = name;
    LeaveCriticalSection(&g_lock);
    if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) break;
  }
  std::u16string shown(name.begin(), name.end());
  if (file == INVALID_HANDLE_VALUE) {
    SetErrnoFromLastError();
    return Fail("cannot make a temporary file in " + Utf16ToUtf8(std::u16string(folder, folder + length)) +
                    " for standard input",
                "; set TMP to a writable folder", file);
  }

  static char block[kCopyBlockSize];
  HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(input, block, kCopyBlockSize, &got, nullptr)) {
      if (GetLastError() == ERROR_BROKEN_PIPE) break;  // the writer closed the pipe: the end
      SetErrnoFromLastError();
      return Fail("cannot read standard input", "", file);
    }
    if (got == 0) break;
    if (!WriteAll(HandleToLong(file), block, got)) {
      return Fail("cannot copy standard input to " + Utf16ToUtf8(shown),
                  "; set TMP to a folder with room", file);
    }
  }
  if (!CloseHandle(file)) {
    SetErrnoFromLastError();
    return Fail("cannot copy standard input to " + Utf16ToUtf8(shown),
                "; set TMP to a folder with room", INVALID_HANDLE_VALUE);
  }
  *path = Utf16ToUtf8(shown);
  return true;
}

void RemoveStandardInputCopy() {
  if (g_lock_ready) RemoveCopy();
}
