// Finding a window, of this program or of another copy run by the same user:
// a top-level window claims its class name (host/single_instance.h) from
// before WM_CREATE until it is destroyed, and answers other copies' requests:
//   "find TITLE"  ->  "window SERIAL PID" | "none"
//   "front SERIAL" ->  "ok" | "none"
//   "copy SERIAL TAG HEX" -> "ok RESULT" | "none": WM_COPYDATA with the bytes
//                     given in hexadecimal, sent to the window there
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "host/single_instance.h"
#include "host/text.h"
#include "platform/window_api.h"
#include "platform/window_internal.h"

namespace {

std::u16string g_class_name;  // the class name claimed, empty when none

constexpr size_t kMaxCopyData = 32768;  // bytes handed over by WM_COPYDATA at most

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// "copy SERIAL TAG HEX": the bytes go to that window as WM_COPYDATA.
std::string AnswerCopy(const std::string& request) {
  long serial = 0;
  unsigned long tag = 0;
  int used = 0;
  if (std::sscanf(request.c_str(), "copy %ld %lu %n", &serial, &tag, &used) != 2 || used <= 0) {
    return "none";
  }
  std::string hex = request.substr(static_cast<size_t>(used));
  if (hex.size() % 2 != 0 || hex.size() / 2 > kMaxCopyData) return "none";
  std::string bytes(hex.size() / 2, '\0');
  for (size_t i = 0; i < bytes.size(); ++i) {
    int high = HexValue(hex[2 * i]);
    int low = HexValue(hex[2 * i + 1]);
    if (high < 0 || low < 0) return "none";
    bytes[i] = static_cast<char>(high * 16 + low);
  }
  PlatformWindow* target = nullptr;
  ForEachWindow([&](PlatformWindow* w) {
    if (w->kind == kWindowApp && w->serial == serial) target = w;
  });
  if (target == nullptr) return "none";
  COPYDATASTRUCT data = {static_cast<uintptr_t>(tag), static_cast<DWORD>(bytes.size()),
                         bytes.data()};
  LRESULT result = SendMessageW(target, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
  MarkScreenChanged();
  return "ok " + std::to_string(static_cast<long long>(result));
}

// The live top-level window of the claimed class with that title (any title
// when `any`).
PlatformWindow* LocalWindow(const std::u16string& title, bool any) {
  PlatformWindow* found = nullptr;
  ForEachWindow([&](PlatformWindow* w) {
    if (found == nullptr && w->kind == kWindowApp && w->parent == nullptr &&
        w->class_name == g_class_name && (any || w->title == title)) {
      found = w;
    }
  });
  return found;
}

std::string Answer(const std::string& request) {
  if (request == "find" || request.rfind("find ", 0) == 0) {
    bool any = request == "find";
    PlatformWindow* w = LocalWindow(any ? u"" : Utf8ToUtf16(request.substr(5)), any);
    if (w == nullptr) return "none";
    return "window " + std::to_string(w->serial) + " " + std::to_string(getpid());
  }
  if (request.rfind("copy ", 0) == 0) return AnswerCopy(request);
  if (request.rfind("front ", 0) == 0) {
    long serial = std::strtol(request.c_str() + 6, nullptr, 10);
    PlatformWindow* target = nullptr;
    ForEachWindow([&](PlatformWindow* w) {
      if (w->kind == kWindowApp && w->serial == serial) target = w;
    });
    if (target == nullptr) return "none";
    ActivateWindow(target);
    CurrentBackend()->bring_forward();
    MarkScreenChanged();
    return "ok";
  }
  return "none";
}

}  // namespace

int ClaimClassName(const char16_t* class_name) {
  int claim = ClaimInstance(Utf16ToUtf8(class_name));
  if (claim == kClaimHeld) g_class_name = class_name;
  return claim;
}

void ReleaseClaim() {
  ReleaseInstance();
  g_class_name.clear();
}

void ResetClaimForTest() {
  ReleaseClaim();
}

int ClaimWatchFd() {
  return InstanceWatchFd();
}

void ServeClaim() {
  ServeInstance(Answer);
}

HWND FindRemoteWindow(const char16_t* class_name, const char16_t* title) {
  std::string request = "find";
  if (title != nullptr) {
    std::string text = Utf16ToUtf8(title);
    if (text.find('\n') != std::string::npos) return nullptr;
    request += " " + text;
  }
  std::string answer;
  if (!AskInstance(Utf16ToUtf8(class_name), request, &answer)) return nullptr;
  long serial = 0;
  long pid = 0;
  if (std::sscanf(answer.c_str(), "window %ld %ld", &serial, &pid) != 2 || pid <= 0) {
    return nullptr;
  }
  HWND remote = CreateInternalWindow(kWindowRemote, nullptr, RECT{0, 0, 0, 0},
                                     title != nullptr ? title : u"", nullptr);
  PlatformWindow* w = LiveWindow(remote);
  w->serial = serial;
  w->process_id = static_cast<DWORD>(pid);
  w->class_name = class_name;
  return remote;
}

BOOL ForegroundRemoteWindow(PlatformWindow* window) {
  std::string answer;
  if (!AskInstance(Utf16ToUtf8(window->class_name), "front " + std::to_string(window->serial),
                   &answer)) {
    return FALSE;
  }
  return answer == "ok" ? TRUE : FALSE;
}

BOOL SetForegroundWindow(HWND window) {
  PlatformWindow* w = LiveWindow(window);
  if (w == nullptr) return FALSE;
  if (w->kind == kWindowRemote) return ForegroundRemoteWindow(w);
  ActivateWindow(w);
  return TRUE;
}

LRESULT SendRemoteCopyData(PlatformWindow* window, const COPYDATASTRUCT* data) {
  if (data == nullptr || data->cbData > kMaxCopyData || (data->cbData > 0 && data->lpData == nullptr)) {
    return 0;
  }
  static const char kDigits[] = "0123456789ABCDEF";
  std::string request = "copy " + std::to_string(window->serial) + " " +
                        std::to_string(static_cast<unsigned long>(data->dwData)) + " ";
  const unsigned char* bytes = static_cast<const unsigned char*>(data->lpData);
  for (DWORD i = 0; i < data->cbData; ++i) {
    request += kDigits[bytes[i] >> 4];
    request += kDigits[bytes[i] & 15];
  }
  std::string answer;
  if (!AskInstance(Utf16ToUtf8(window->class_name), request, &answer)) return 0;
  long long result = 0;
  if (std::sscanf(answer.c_str(), "ok %lld", &result) != 1) return 0;
  return static_cast<LRESULT>(result);
}

HWND FindWindowW(LPCWSTR class_name, LPCWSTR title) {
  HWND found = nullptr;
  ForEachWindow([&](PlatformWindow* w) {
    if (found == nullptr && w->kind == kWindowApp && w->parent == nullptr &&
        (class_name == nullptr || w->class_name == class_name) &&
        (title == nullptr || w->title == title)) {
      found = w;
    }
  });
  if (found != nullptr || class_name == nullptr) return found;
  return FindRemoteWindow(class_name, title);
}
