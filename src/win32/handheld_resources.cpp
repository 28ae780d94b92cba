// The program's resource tables on the real API: strings copied out, the
// accelerators and menus made into real ones, the About dialog made into a
// DLGTEMPLATE in memory.
#define WAYCONV_HANDHELD_SHIM
#include <map>

#include "resources/wayconv_resources.h"
#include "win32/desktop_look.h"
#include "win32/handheld_internal.h"

namespace {

void PutWord(std::vector<WORD>* out, WORD word) { out->push_back(word); }

void PutDword(std::vector<WORD>* out, DWORD value) {
  out->push_back(static_cast<WORD>(value & 0xFFFF));
  out->push_back(static_cast<WORD>(value >> 16));
}

void PutText(std::vector<WORD>* out, const char16_t* text) {
  for (; text != nullptr && *text != 0; ++text) out->push_back(*text);
  out->push_back(0);
}

// Items start on a DWORD boundary: an even number of WORDs.
void AlignToDword(std::vector<WORD>* out) {
  if (out->size() % 2 != 0) out->push_back(0);
}

void PutItem(std::vector<WORD>* out, DWORD style, short x, short y, short cx, short cy, WORD id,
             WORD class_atom, const char16_t* text) {
  AlignToDword(out);
  PutDword(out, style);
  PutDword(out, 0);  // extended style
  for (short value : {x, y, cx, cy}) PutWord(out, static_cast<WORD>(value));
  PutWord(out, id);
  PutWord(out, 0xFFFF);  // a predefined class, by atom
  PutWord(out, class_atom);
  PutText(out, text);
  PutWord(out, 0);  // no creation data
}

constexpr WORD kButtonAtom = 0x0080;
constexpr WORD kStaticAtom = 0x0082;
constexpr short kOkWidth = 50;
constexpr short kOkHeight = 14;
constexpr short kMargin = 7;

}  // namespace

const ResourceEntry* FindResourceEntry(WORD type, WORD id) {
  const ResourceDirectory& directory = WayconvResources();
  for (int i = 0; i < directory.count; ++i) {
    const ResourceEntry& entry = directory.entries[i];
    if (entry.type_name == nullptr && entry.type == type && entry.id == id) return &entry;
  }
  return nullptr;
}

const char16_t* ResourceString(UINT id) {
  if (id > 0xFFFF) return nullptr;
  const ResourceEntry* entry = FindResourceEntry(kRtString, static_cast<WORD>(id));
  return entry == nullptr ? nullptr : static_cast<const StringResource*>(entry->data)->text;
}

std::vector<WORD> BuildDialogTemplate(const DialogTemplate& dialog) {
  bool ok_button = (dialog.ex_style & WS_EX_CAPTIONOKBTN) != 0;
  std::vector<WORD> out;
  PutDword(&out, dialog.style);
  PutDword(&out, dialog.ex_style & ~WS_EX_CAPTIONOKBTN);
  PutWord(&out, static_cast<WORD>(dialog.count + (ok_button ? 1 : 0)));
  for (short value : {dialog.x, dialog.y, dialog.cx, dialog.cy}) {
    PutWord(&out, static_cast<WORD>(value));
  }
  PutWord(&out, 0);  // no menu
  PutWord(&out, 0);  // the standard dialog class
  PutText(&out, dialog.caption);
  if ((dialog.style & DS_SETFONT) != 0) {
    // The system's message font, as the desktop's own dialogs have it; the
    // table's where the system does not say.
    std::u16string face;
    WORD points = 0;
    bool system = DialogFont(&face, &points);
    PutWord(&out, system ? points : dialog.point_size);
    PutText(&out, system ? face.c_str() : dialog.font);
  }
  for (int i = 0; i < dialog.count; ++i) {
    const DialogItemTemplate& item = dialog.items[i];
    PutItem(&out, WS_CHILD | WS_VISIBLE | SS_LEFT | item.style, item.x, item.y, item.cx, item.cy,
            static_cast<WORD>(item.id), kStaticAtom, item.text);
  }
  if (ok_button) {
    PutItem(&out, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON,
            static_cast<short>(dialog.cx - kOkWidth - kMargin),
            static_cast<short>(dialog.cy - kOkHeight - kMargin), kOkWidth, kOkHeight, IDOK,
            kButtonAtom, u"OK");
  }
  return out;
}

HMENU BuildPopupMenu(const PopupTemplate& popup) {
  HMENU menu = CreatePopupMenu();
  if (menu == nullptr) return nullptr;
  for (int i = 0; i < popup.count; ++i) {
    const MenuItemTemplate& item = popup.items[i];
    if (item.text == nullptr || (item.flags & MF_SEPARATOR) != 0) {
      AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    } else {
      AppendMenuW(menu, MF_STRING | (item.flags & MF_CHECKED), item.id, DesktopText(item.text));
    }
  }
  return menu;
}

int HandheldLoadStringW(HINSTANCE, UINT id, LPWSTR buffer, int buffer_size) {
  const char16_t* text = ResourceString(id);
  if (buffer == nullptr || buffer_size <= 0) return 0;
  int length = 0;
  while (text != nullptr && text[length] != 0 && length < buffer_size - 1) {
    buffer[length] = static_cast<wchar_t>(text[length]);
    ++length;
  }
  buffer[length] = 0;
  return length;
}

HICON HandheldLoadIconW(HINSTANCE, LPCWSTR name) {
  // The icon's images come with the executable's own resources, when built in.
  HICON icon = LoadIconW(GetModuleHandleW(nullptr), name);
  return icon != nullptr ? icon : LoadIconW(nullptr, IDI_APPLICATION);
}

HACCEL HandheldLoadAcceleratorsW(HINSTANCE, LPCWSTR name) {
  if (!IS_INTRESOURCE(name)) return nullptr;
  const ResourceEntry* entry =
      FindResourceEntry(kRtAccelerator, static_cast<WORD>(reinterpret_cast<uintptr_t>(name)));
  if (entry == nullptr) return nullptr;
  static std::map<const ResourceEntry*, HACCEL> made;
  HACCEL& table = made[entry];
  if (table == nullptr) {
    const auto* accelerators = static_cast<const AcceleratorTable*>(entry->data);
    std::vector<ACCEL> entries(accelerators->entries, accelerators->entries + accelerators->count);
    table = CreateAcceleratorTableW(entries.data(), static_cast<int>(entries.size()));
  }
  return table;
}

HRSRC HandheldFindResourceW(HINSTANCE, LPCWSTR name, LPCWSTR type) {
  if (!IS_INTRESOURCE(name) || !IS_INTRESOURCE(type)) return nullptr;
  const ResourceEntry* entry =
      FindResourceEntry(static_cast<WORD>(reinterpret_cast<uintptr_t>(type)),
                        static_cast<WORD>(reinterpret_cast<uintptr_t>(name)));
  return reinterpret_cast<HRSRC>(const_cast<ResourceEntry*>(entry));
}

HGLOBAL HandheldLoadResource(HINSTANCE, HRSRC resource) {
  const auto* entry = reinterpret_cast<const ResourceEntry*>(resource);
  if (entry == nullptr) return nullptr;
  if (entry->type != kRtDialog) return const_cast<void*>(entry->data);
  static std::map<const ResourceEntry*, std::vector<WORD>> made;
  std::vector<WORD>& words = made[entry];
  if (words.empty()) words = BuildDialogTemplate(*static_cast<const DialogTemplate*>(entry->data));
  return words.data();
}
