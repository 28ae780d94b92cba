// Finding resources in an instance's directory, and the loaders built on it.
#include "platform/resource_api.h"
#include "platform/window_api.h"

namespace {

bool SameName(const char16_t* a, const char16_t* b) {
  if (a == nullptr || b == nullptr) return false;
  while (*a != 0 && *a == *b) ++a, ++b;
  return *a == *b;
}

const ResourceEntry* Find(HINSTANCE instance, WORD type, const char16_t* type_name, WORD id) {
  if (instance == nullptr || instance->resources == nullptr) return nullptr;
  const ResourceDirectory& directory = *instance->resources;
  for (int i = 0; i < directory.count; ++i) {
    const ResourceEntry& entry = directory.entries[i];
    if (entry.id != id) continue;
    bool type_matches = type_name != nullptr ? SameName(entry.type_name, type_name)
                                             : entry.type_name == nullptr && entry.type == type;
    if (type_matches) return &entry;
  }
  return nullptr;
}

const void* FindData(HINSTANCE instance, WORD type, UINT id) {
  if (id > 0xFFFF) return nullptr;
  const ResourceEntry* entry = Find(instance, type, nullptr, static_cast<WORD>(id));
  return entry != nullptr ? entry->data : nullptr;
}

}  // namespace

HRSRC FindResourceW(HINSTANCE instance, LPCWSTR name, LPCWSTR type) {
  // Resources are known by number only; a named resource is never found.
  if (name == nullptr || type == nullptr || !IS_INTRESOURCE(name)) return nullptr;
  auto id = static_cast<WORD>(reinterpret_cast<uintptr_t>(name));
  if (IS_INTRESOURCE(type)) {
    return Find(instance, static_cast<WORD>(reinterpret_cast<uintptr_t>(type)), nullptr, id);
  }
  return Find(instance, 0, type, id);
}

HGLOBAL LoadResource(HINSTANCE /*instance*/, HRSRC resource) {
  return resource != nullptr ? resource->data : nullptr;
}

int LoadStringW(HINSTANCE instance, UINT id, LPWSTR buffer, int buffer_size) {
  if (buffer == nullptr || buffer_size <= 0) return 0;
  auto string = static_cast<const StringResource*>(FindData(instance, kRtString, id));
  buffer[0] = 0;
  if (string == nullptr || string->text == nullptr) return 0;
  int length = 0;
  while (string->text[length] != 0 && length < buffer_size - 1) {
    buffer[length] = string->text[length];
    ++length;
  }
  buffer[length] = 0;
  return length;
}

HICON LoadIconW(HINSTANCE instance, LPCWSTR name) {
  if (!IS_INTRESOURCE(name)) return nullptr;
  return static_cast<HICON>(FindData(instance, kRtGroupIcon, reinterpret_cast<uintptr_t>(name)));
}

HACCEL LoadAcceleratorsW(HINSTANCE instance, LPCWSTR name) {
  if (!IS_INTRESOURCE(name)) return nullptr;
  return static_cast<HACCEL>(FindData(instance, kRtAccelerator, reinterpret_cast<uintptr_t>(name)));
}

int TranslateAcceleratorW(HWND window, HACCEL table, MSG* message) {
  if (window == nullptr || table == nullptr || message == nullptr ||
      message->message != WM_KEYDOWN) {
    return 0;
  }
  BYTE held = 0;
  if (GetKeyState(VK_CONTROL) < 0) held |= FCONTROL;
  if (GetKeyState(VK_SHIFT) < 0) held |= FSHIFT;
  if (GetKeyState(VK_MENU) < 0) held |= FALT;
  for (int i = 0; i < table->count; ++i) {
    const ACCEL& entry = table->entries[i];
    if (!(entry.fVirt & FVIRTKEY) || entry.key != message->wParam) continue;
    if ((entry.fVirt & (FCONTROL | FSHIFT | FALT)) != held) continue;
    SendMessageW(window, WM_COMMAND, MAKEWPARAM(entry.cmd, 1), 0);
    return 1;
  }
  return 0;
}
