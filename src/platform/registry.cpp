#include "platform/registry.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "host/atomic_file.h"
#include "host/file_stream.h"
#include "host/text.h"

struct PlatformRegKey {
  std::u16string path;  // the whole key path, "HKEY_CURRENT_USER\..."
  bool predefined;      // the root: never freed
};

namespace {

// The errno of the last save of the file that failed; 0 after one succeeded.
int g_save_error = 0;

PlatformRegKey g_current_user{u"HKEY_CURRENT_USER", true};

constexpr std::string_view kSignature = "Windows Registry Editor Version 5.00";
constexpr size_t kWrapColumn = 76;  // hex lists break after the comma that passes this column

constexpr int kFileRead = 0;
constexpr int kFileMissing = 1;
constexpr int kFileUnreadable = 2;

constexpr int kRawLine = 0;      // kept as it is, otherwise ignored
constexpr int kSectionLine = 1;  // [key]
constexpr int kValueLine = 2;    // "name"=data, possibly continued over several lines

// One item of the file: a line, or a value with its continuation lines.
struct Item {
  int kind = kRawLine;
  size_t begin = 0;  // the item's bytes in the text, without the final line end
  size_t end = 0;
  std::u16string name;  // value lines
  DWORD type = 0;
  std::string data;
};

// Walks the file item by item. `in_section` and `section` describe the
// section the last item belongs to (for a section line, its own key).
struct Scanner {
  std::string_view text;
  size_t pos = 0;
  bool in_section = false;
  std::u16string section;
};

// --- Reading -------------------------------------------------------------

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string_view TrimRight(std::string_view s) {
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

// Key and value names compare without regard to ASCII case.
bool SameName(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  }
  return true;
}

// True when `key` lies somewhere below `ancestor`.
bool IsBelow(std::u16string_view key, std::u16string_view ancestor) {
  return key.size() > ancestor.size() && key[ancestor.size()] == u'\\' &&
         SameName(key.substr(0, ancestor.size()), ancestor);
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// All of `s` as a hex number of 1 to `max_digits` digits.
bool ParseHexNumber(std::string_view s, size_t max_digits, DWORD* value) {
  if (s.empty() || s.size() > max_digits) return false;
  DWORD v = 0;
  for (char c : s) {
    int digit = HexDigit(c);
    if (digit < 0) return false;
    v = v << 4 | static_cast<DWORD>(digit);
  }
  *value = v;
  return true;
}

// "xx,xx,...": bytes of two hex digits each, or nothing at all. Two digits
// and no trailing comma, so that a list cut short reads as fewer whole bytes.
bool ParseHexBytes(std::string_view s, std::string* out) {
  out->clear();
  if (s.empty()) return true;
  size_t i = 0;
  for (;;) {
    size_t start = i;
    while (i < s.size() && s[i] != ',') ++i;
    DWORD byte;
    if (i - start != 2 || !ParseHexNumber(s.substr(start, 2), 2, &byte)) return false;
    out->push_back(static_cast<char>(byte));
    if (i == s.size()) return true;
    ++i;  // past the comma
  }
}

// The quoted text that starts at line[*pos] (a '"'), its \\ and \" escapes
// undone; *pos moves past the closing quote.
bool ParseQuoted(std::string_view line, size_t* pos, std::string* out) {
  out->clear();
  size_t i = *pos + 1;
  while (i < line.size()) {
    char c = line[i++];
    if (c == '"') {
      *pos = i;
      return true;
    }
    if (c == '\\') {
      if (i == line.size() || (line[i] != '\\' && line[i] != '"')) return false;
      c = line[i++];
    }
    out->push_back(c);
  }
  return false;
}

// The name of a value line ("@" or a quoted name) and its '='. Returns the
// position of the data, or npos.
size_t ParseValueName(std::string_view line, std::u16string* name) {
  std::string bytes;
  size_t pos = 0;
  if (line.starts_with('"')) {
    if (!ParseQuoted(line, &pos, &bytes)) return std::string_view::npos;
  } else if (line.starts_with('@')) {
    pos = 1;
  } else {
    return std::string_view::npos;
  }
  if (pos == line.size() || line[pos] != '=') return std::string_view::npos;
  *name = Utf8ToUtf16(bytes);
  return pos + 1;
}

bool IsHexValueStart(std::string_view line) {
  std::u16string name;
  size_t pos = ParseValueName(line, &name);
  return pos != std::string_view::npos && line.substr(pos).starts_with("hex");
}

void AppendWideBytes(std::string* out, std::u16string_view text) {
  for (char16_t c : text) {
    out->push_back(static_cast<char>(c & 0xFF));
    out->push_back(static_cast<char>(c >> 8));
  }
}

std::u16string WideFromBytes(std::string_view bytes) {
  std::u16string text;
  text.reserve(bytes.size() / 2);
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    text.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                         static_cast<unsigned char>(bytes[i + 1]) << 8));
  }
  return text;
}

// A whole value line, continuation lines already joined.
bool ParseValue(std::string_view line, Item* item) {
  size_t pos = ParseValueName(line, &item->name);
  if (pos == std::string_view::npos) return false;
  std::string_view rest = TrimRight(line.substr(pos));
  if (rest.starts_with('"')) {
    size_t end = 0;
    std::string text;
    if (!ParseQuoted(rest, &end, &text) || end != rest.size()) return false;
    item->type = REG_SZ;
    item->data.clear();
    AppendWideBytes(&item->data, Utf8ToUtf16(text));
    item->data.append(2, '\0');
    return true;
  }
  if (rest.starts_with("dword:")) {  // exactly 8 digits: a cut one is no value
    DWORD value;
    if (rest.size() != 14 || !ParseHexNumber(rest.substr(6), 8, &value)) return false;
    item->type = REG_DWORD;
    item->data.clear();
    for (int shift = 0; shift < 32; shift += 8)
      item->data.push_back(static_cast<char>(value >> shift));
    return true;
  }
  if (rest.starts_with("hex:")) {
    item->type = REG_BINARY;
    return ParseHexBytes(rest.substr(4), &item->data);
  }
  if (rest.starts_with("hex(")) {
    size_t close = rest.find(')');
    if (close == std::string_view::npos || close + 1 == rest.size() || rest[close + 1] != ':') {
      return false;
    }
    return ParseHexNumber(rest.substr(4, close - 4), 8, &item->type) &&
           ParseHexBytes(rest.substr(close + 2), &item->data);
  }
  return false;
}

// "[key]"; "[-key]" (a deletion in an import file) is not a section.
bool ParseSection(std::string_view line, std::u16string* key) {
  line = TrimRight(line);
  if (line.size() < 3 || line.front() != '[' || line.back() != ']' || line[1] == '-') return false;
  *key = Utf8ToUtf16(line.substr(1, line.size() - 2));
  return true;
}

// The next line: its bytes without the line end (LF or CR LF).
bool NextLine(Scanner* s, size_t* begin, size_t* end) {
  if (s->pos >= s->text.size()) return false;
  size_t newline = s->text.find('\n', s->pos);
  size_t stop = newline == std::string_view::npos ? s->text.size() : newline;
  *begin = s->pos;
  *end = stop > s->pos && s->text[stop - 1] == '\r' ? stop - 1 : stop;
  s->pos = newline == std::string_view::npos ? s->text.size() : newline + 1;
  return true;
}

Scanner StartScan(std::string_view text) {
  Scanner s;
  s.text = text;
  size_t begin, end;
  if (NextLine(&s, &begin, &end) && TrimRight(text.substr(begin, end - begin)) == kSignature) {
    return s;  // past the signature
  }
  s.pos = 0;
  return s;
}

bool EndsWithContinuation(std::string_view s) {
  return TrimRight(s).ends_with('\\');
}

bool NextItem(Scanner* s, Item* item) {
  size_t begin, end;
  if (!NextLine(s, &begin, &end)) return false;
  std::string_view line = s->text.substr(begin, end - begin);
  item->kind = kRawLine;
  item->begin = begin;
  item->end = end;
  if (line.starts_with('[')) {
    s->in_section = ParseSection(line, &s->section);
    if (s->in_section) item->kind = kSectionLine;
    return true;
  }
  if (!s->in_section || !(line.starts_with('"') || line.starts_with('@'))) return true;
  bool parsed;
  if (IsHexValueStart(line) && EndsWithContinuation(line)) {
    // A hex list goes on in the following indented lines while a line ends
    // with a backslash. One that ends so with nothing to follow is damaged.
    std::string joined(line);
    while (EndsWithContinuation(joined)) {
      size_t saved = s->pos;
      size_t next_begin, next_end;
      if (!NextLine(s, &next_begin, &next_end)) break;
      std::string_view next = s->text.substr(next_begin, next_end - next_begin);
      if (next.empty() || !IsBlank(next.front())) {
        s->pos = saved;
        break;
      }
      while (!next.empty() && IsBlank(next.front())) next.remove_prefix(1);
      joined.resize(TrimRight(joined).size() - 1);
      joined += next;
      item->end = next_end;
    }
    parsed = ParseValue(joined, item);
  } else {
    parsed = ParseValue(line, item);
  }
  if (parsed) item->kind = kValueLine;
  return true;
}

// UTF-16LE with a byte order mark becomes UTF-8; a UTF-8 byte order mark goes.
std::string DecodeFile(std::string bytes) {
  if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
      static_cast<unsigned char>(bytes[1]) == 0xFE) {
    return Utf16ToUtf8(WideFromBytes(std::string_view(bytes).substr(2)));
  }
  if (bytes.starts_with("\xEF\xBB\xBF")) bytes.erase(0, 3);
  return bytes;
}

// Reads the registry file. Only a regular file of at most kMaxRegistryFileSize
// bytes is read; opening never blocks (a FIFO in its place, say).
int LoadFile(const std::string& path, std::string* text) {
  text->clear();
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return errno == ENOENT || errno == ENOTDIR ? kFileMissing : kFileUnreadable;
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
      st.st_size > static_cast<off_t>(kMaxRegistryFileSize)) {
    close(fd);
    return kFileUnreadable;
  }
  std::string bytes;
  bool ok = true;
  char chunk[65536];
  while (bytes.size() <= kMaxRegistryFileSize) {
    ssize_t n = read(fd, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) ok = false;
    if (n <= 0) break;
    bytes.append(chunk, static_cast<size_t>(n));
  }
  close(fd);
  if (!ok || bytes.size() > kMaxRegistryFileSize) return kFileUnreadable;
  *text = DecodeFile(std::move(bytes));
  return kFileRead;
}

// --- Writing -------------------------------------------------------------

std::string Quote(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  out += '"';
  return out;
}

// A line is writable when it stays one line and carries no NUL.
bool IsOneLine(std::string_view line) {
  return line.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

bool ReadsBackAs(std::string_view line, std::u16string_view name, DWORD type,
                 std::string_view data) {
  Item check;
  return IsOneLine(line) && ParseValue(line, &check) && check.name == name && check.type == type &&
         check.data == data;
}

// Breaks a long hex list after its commas, as the registry editor does.
std::string WrapHexList(std::string_view line, size_t data_start, std::string_view eol) {
  std::string out;
  size_t column = 0;
  for (size_t i = 0; i < line.size(); ++i) {
    out += line[i];
    ++column;
    if (line[i] == ',' && i >= data_start && column >= kWrapColumn && i + 1 < line.size()) {
      out += '\\';
      out += eol;
      out += "  ";
      column = 2;
    }
  }
  return out;
}

// The text of a value, in the plainest form that reads back to exactly the
// same name, type and bytes. False when even hex cannot carry the name.
bool FormatValue(std::u16string_view name, DWORD type, std::string_view data, std::string_view eol,
                 std::string* out) {
  std::string head = name.empty() ? "@=" : Quote(Utf16ToUtf8(name)) + "=";
  if (type == REG_SZ && data.size() >= 2 && data.size() % 2 == 0) {
    *out = head + Quote(Utf16ToUtf8(WideFromBytes(data.substr(0, data.size() - 2))));
    if (ReadsBackAs(*out, name, type, data)) return true;
  } else if (type == REG_DWORD && data.size() == 4) {
    DWORD value = 0;
    for (int i = 3; i >= 0; --i) value = value << 8 | static_cast<unsigned char>(data[i]);
    char number[16];
    std::snprintf(number, sizeof number, "dword:%08x", static_cast<unsigned>(value));
    *out = head + number;
    if (ReadsBackAs(*out, name, type, data)) return true;
  }
  char prefix[24];
  if (type == REG_BINARY) {
    std::snprintf(prefix, sizeof prefix, "hex:");
  } else {
    std::snprintf(prefix, sizeof prefix, "hex(%x):", static_cast<unsigned>(type));
  }
  *out = head + prefix;
  static const char kDigits[] = "0123456789abcdef";
  for (size_t i = 0; i < data.size(); ++i) {
    if (i > 0) *out += ',';
    auto byte = static_cast<unsigned char>(data[i]);
    *out += kDigits[byte >> 4];
    *out += kDigits[byte & 15];
  }
  if (!ReadsBackAs(*out, name, type, data)) return false;
  *out = WrapHexList(*out, head.size(), eol);
  return true;
}

// The line end of the file: LF when its first line ends so, else CR LF.
std::string_view LineEnd(std::string_view text) {
  size_t newline = text.find('\n');
  if (newline != std::string_view::npos && (newline == 0 || text[newline - 1] != '\r')) return "\n";
  return "\r\n";
}

// Replaces the file as a whole through the atomic writer; a symbolic link
// is written through, so a linked settings file stays linked. A new file is
// the user's alone, and so are the folders made for it.
bool SaveFile(const std::string& link, std::string_view bytes) {
  if (bytes.size() > kMaxRegistryFileSize) {  // it could not be read back
    g_save_error = EFBIG;
    return false;
  }
  std::string target = ResolveLinks(link);
  int folder_error = CreateParentFolders(target, 0700);
  int error = 0;
  if (WriteFileAtomically(link, bytes, 0600, &error)) return true;
  // A folder that could not be made says more than the file that then
  // could not be made in it.
  g_save_error = folder_error != 0 && !IsFolder(FolderOf(target)) ? folder_error : error;
  return false;
}

// Stores `key` and, when `type` is not null, the value `name` in it (in place
// of a value of that name), then saves the file. Every other byte of the file
// stays. *existed tells whether the key was stored before.
LONG UpdateFile(const std::u16string& key, const std::u16string& name, const DWORD* type,
                std::string_view data, bool* existed) {
  std::string path = RegistryFilePath();
  std::string text;
  errno = 0;
  if (LoadFile(path, &text) == kFileUnreadable) {
    g_save_error = errno != 0 ? errno : EIO;
    return ERROR_CANTREAD;
  }
  g_save_error = 0;
  std::string_view eol = LineEnd(text);

  // Find the value to replace, or the end of the key's last section, where a
  // new value goes after the section's last non-blank line.
  bool key_found = false;
  bool value_found = false;
  size_t insert_at = 0;
  size_t replace_begin = 0;
  size_t replace_end = 0;
  std::u16string stored_key = key;
  std::u16string stored_name = name;  // a replaced value keeps the spelling of its name
  Scanner scan = StartScan(text);
  Item item;
  while (NextItem(&scan, &item)) {
    if (!scan.in_section || !SameName(scan.section, key)) continue;
    if (item.kind == kSectionLine) stored_key = scan.section;
    key_found = true;
    if (item.kind == kValueLine && SameName(item.name, name)) {
      value_found = true;
      replace_begin = item.begin;
      replace_end = item.end;
      stored_name = item.name;
    }
    if (!TrimRight(std::string_view(text).substr(item.begin, item.end - item.begin)).empty()) {
      insert_at = item.end;
    }
  }
  *existed = key_found;
  std::string value_line;
  if (type != nullptr && !FormatValue(stored_name, *type, data, eol, &value_line)) {
    return ERROR_INVALID_PARAMETER;
  }

  std::string out;
  if (type != nullptr && value_found) {
    out = text.substr(0, replace_begin) + value_line + text.substr(replace_end);
  } else if (type != nullptr && key_found) {
    out = text.substr(0, insert_at) + std::string(eol) + value_line + text.substr(insert_at);
  } else if (!key_found) {
    out = text;
    if (!out.empty() && out.back() != '\n') out += eol;
    out += eol;  // a blank line before each section
    out += '[';
    out += Utf16ToUtf8(stored_key);
    out += ']';
    out += eol;
    if (type != nullptr) {
      out += value_line;
      out += eol;
    }
  } else {
    return ERROR_SUCCESS;  // the key is there and nothing else is asked
  }
  if (StartScan(out).pos == 0) out = std::string(kSignature) + std::string(eol) + out;
  return SaveFile(path, out) ? ERROR_SUCCESS : ERROR_CANTWRITE;
}

// The whole path of `sub_key` below `key`; false when it cannot be a key
// (a leading backslash, an empty part, a line break).
bool KeyPath(HKEY key, LPCWSTR sub_key, std::u16string* path) {
  *path = key->path;
  if (sub_key == nullptr || sub_key[0] == 0) return true;
  std::u16string_view sub(sub_key, WideLength(sub_key));
  if (sub.ends_with(u'\\')) sub.remove_suffix(1);
  if (sub.empty() || sub.front() == u'\\' || sub.find(u"\\\\") != std::u16string_view::npos) {
    return false;
  }
  *path += u'\\';
  *path += sub;
  std::string line = "[";
  line += Utf16ToUtf8(*path);
  line += ']';
  std::u16string check;
  return IsOneLine(line) && ParseSection(line, &check) && check == *path;
}

HKEY NewKey(const std::u16string& path) {
  return new PlatformRegKey{path, false};
}

}  // namespace

PlatformRegKey* const HKEY_CURRENT_USER = &g_current_user;

int RegistrySaveError() {
  return g_save_error;
}

std::string RegistryFilePath() {
  // A relative XDG_CONFIG_HOME is ignored, as the base directory rules ask.
  const char* config = std::getenv("XDG_CONFIG_HOME");
  std::string base;
  if (config != nullptr && config[0] == '/') {
    base = config;
  } else {
    const char* home = std::getenv("HOME");
    base = std::string(home != nullptr && home[0] != 0 ? home : ".") + "/.config";
  }
  return base + "/wayconv/registry.reg";
}

LONG RegOpenKeyExW(HKEY key, LPCWSTR sub_key, DWORD, REGSAM, HKEY* result) {
  if (result == nullptr) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  if (key == nullptr) return ERROR_INVALID_HANDLE;
  std::u16string path;
  if (!KeyPath(key, sub_key, &path)) return ERROR_INVALID_PARAMETER;
  if (key->predefined && path == key->path) {
    *result = NewKey(path);
    return ERROR_SUCCESS;
  }
  std::string text;
  int load = LoadFile(RegistryFilePath(), &text);
  if (load == kFileUnreadable) return ERROR_CANTREAD;
  // A key exists when it has a section or some key below it has one.
  Scanner scan = StartScan(text);
  Item item;
  while (NextItem(&scan, &item)) {
    if (item.kind == kSectionLine &&
        (SameName(scan.section, path) || IsBelow(scan.section, path))) {
      *result = NewKey(path);
      return ERROR_SUCCESS;
    }
  }
  return ERROR_FILE_NOT_FOUND;
}

LONG RegQueryValueExW(HKEY key, LPCWSTR name, DWORD* reserved, DWORD* type, BYTE* data,
                      DWORD* size) {
  if (key == nullptr) return ERROR_INVALID_HANDLE;
  if (reserved != nullptr || (data != nullptr && size == nullptr)) return ERROR_INVALID_PARAMETER;
  std::u16string_view wanted = name != nullptr ? std::u16string_view(name, WideLength(name)) : u"";
  std::string text;
  if (LoadFile(RegistryFilePath(), &text) == kFileUnreadable) return ERROR_CANTREAD;
  // Of several values of one name, the last one counts, as on import.
  Item item;
  Item found;
  bool have = false;
  Scanner scan = StartScan(text);
  while (NextItem(&scan, &item)) {
    if (item.kind == kValueLine && SameName(scan.section, key->path) &&
        SameName(item.name, wanted)) {
      found.type = item.type;
      found.data.swap(item.data);
      have = true;
    }
  }
  if (!have) return ERROR_FILE_NOT_FOUND;
  if (type != nullptr) *type = found.type;
  auto needed = static_cast<DWORD>(found.data.size());
  if (data == nullptr) {
    if (size != nullptr) *size = needed;
    return ERROR_SUCCESS;
  }
  if (*size < needed) {
    *size = needed;
    return ERROR_MORE_DATA;
  }
  if (needed > 0) std::memcpy(data, found.data.data(), needed);
  *size = needed;
  return ERROR_SUCCESS;
}

LONG RegCreateKeyExW(HKEY key, LPCWSTR sub_key, DWORD, LPWSTR, DWORD, REGSAM, LPSECURITY_ATTRIBUTES,
                     HKEY* result, DWORD* disposition) {
  if (result == nullptr) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  if (key == nullptr) return ERROR_INVALID_HANDLE;
  std::u16string path;
  if (!KeyPath(key, sub_key, &path)) return ERROR_INVALID_PARAMETER;
  bool existed = true;
  if (!(key->predefined && path == key->path)) {
    LONG status = UpdateFile(path, u"", nullptr, {}, &existed);
    if (status != ERROR_SUCCESS) return status;
  }
  if (disposition != nullptr)
    *disposition = existed ? REG_OPENED_EXISTING_KEY : REG_CREATED_NEW_KEY;
  *result = NewKey(path);
  return ERROR_SUCCESS;
}

LONG RegSetValueExW(HKEY key, LPCWSTR name, DWORD, DWORD type, const BYTE* data, DWORD size) {
  if (key == nullptr) return ERROR_INVALID_HANDLE;
  if (data == nullptr && size != 0) return ERROR_INVALID_PARAMETER;
  std::u16string value_name = name != nullptr ? std::u16string(name, WideLength(name)) : u"";
  std::string_view bytes =
      size == 0 ? std::string_view() : std::string_view(reinterpret_cast<const char*>(data), size);
  bool existed;
  return UpdateFile(key->path, value_name, &type, bytes, &existed);
}

LONG RegCloseKey(HKEY key) {
  if (key == nullptr) return ERROR_INVALID_HANDLE;
  if (!key->predefined) delete key;
  return ERROR_SUCCESS;
}
