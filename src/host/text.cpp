#include "host/text.h"

void AppendUtf8(std::string* text, char32_t c) {
  std::string& out = *text;
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

void AppendUtf16(std::u16string* text, char32_t c) {
  std::u16string& out = *text;
  if (c < 0x10000) {
    out += static_cast<char16_t>(c);
  } else {
    c -= 0x10000;
    out += static_cast<char16_t>(0xD800 + (c >> 10));
    out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
  }
}

namespace {

// Length of the valid UTF-8 sequence at s (at most n bytes available), or 0.
// Overlong forms, surrogates and code points above U+10FFFF are invalid.
size_t ValidSequence(const unsigned char* s, size_t n, char32_t* cp) {
  unsigned char b = s[0];
  size_t len;
  char32_t c;
  char32_t min;
  if (b < 0x80) {
    *cp = b;
    return 1;
  } else if ((b & 0xE0) == 0xC0) {
    len = 2, c = b & 0x1F, min = 0x80;
  } else if ((b & 0xF0) == 0xE0) {
    len = 3, c = b & 0x0F, min = 0x800;
  } else if ((b & 0xF8) == 0xF0) {
    len = 4, c = b & 0x07, min = 0x10000;
  } else {
    return 0;
  }
  if (len > n) return 0;
  for (size_t i = 1; i < len; ++i) {
    if ((s[i] & 0xC0) != 0x80) return 0;
    c = (c << 6) | (s[i] & 0x3F);
  }
  if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return 0;
  *cp = c;
  return len;
}

}  // namespace

std::u16string Utf8ToUtf16(std::string_view bytes) {
  std::u16string out;
  out.reserve(bytes.size());
  const auto* s = reinterpret_cast<const unsigned char*>(bytes.data());
  size_t n = bytes.size();
  size_t i = 0;
  while (i < n) {
    char32_t c;
    size_t len = ValidSequence(s + i, n - i, &c);
    if (len == 0) {
      out += static_cast<char16_t>(0xDC00 + s[i]);
      ++i;
    } else {
      AppendUtf16(&out, c);
      i += len;
    }
  }
  return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      c = CombineSurrogates(c, text[i + 1]);
      ++i;
    } else if (c >= 0xDC80 && c <= 0xDCFF) {
      out += static_cast<char>(c - 0xDC00);  // an escaped host byte
      continue;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    AppendUtf8(&out, c);
  }
  return out;
}

bool IsBidiControl(char32_t c) {
  return (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

std::string EscapeForTerminal(std::string_view bytes, bool keep_newlines) {
  static const char kHex[] = "0123456789abcdef";
  std::string out;
  out.reserve(bytes.size());
  const auto* s = reinterpret_cast<const unsigned char*>(bytes.data());
  size_t n = bytes.size();
  size_t i = 0;
  while (i < n) {
    char32_t c;
    size_t len = ValidSequence(s + i, n - i, &c);
    if (len == 0) {
      c = s[i];  // not UTF-8: the byte itself
      len = 1;
    } else if (!(c < 0x20 || (c >= 0x7F && c < 0xA0) || IsBidiControl(c)) ||
               (keep_newlines && c == '\n')) {
      out.append(bytes.data() + i, len);
      i += len;
      continue;
    }
    if (c < 0x100) {
      out += "\\x";
    } else {
      out += "\\u";
      out += kHex[(c >> 12) & 0xF];
      out += kHex[(c >> 8) & 0xF];
    }
    out += kHex[(c >> 4) & 0xF];
    out += kHex[c & 0xF];
    i += len;
  }
  return out;
}

size_t WideLength(const char16_t* text) {
  size_t n = 0;
  while (text[n] != 0) ++n;
  return n;
}

size_t CopyWide(char16_t* dest, size_t capacity, std::u16string_view text) {
  if (capacity == 0) return 0;
  size_t n = text.size() < capacity - 1 ? text.size() : capacity - 1;
  for (size_t i = 0; i < n; ++i) dest[i] = text[i];
  dest[n] = 0;
  return n;
}

namespace {

// '*' and '?' wildcards, ASCII case folded; a '*' that fails to match is
// retried one byte further along, so the work stays linear per star.
bool Glob(std::string_view name, std::string_view pattern) {
  size_t n = 0;
  size_t p = 0;
  size_t star = std::string_view::npos;
  size_t star_n = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      star_n = n;
    } else if (p < pattern.size() && (pattern[p] == '?' || FoldAscii(pattern[p]) == FoldAscii(name[n]))) {
      ++p;
      ++n;
    } else if (star != std::string_view::npos) {
      p = star + 1;
      n = ++star_n;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

}  // namespace

bool MatchesNamePatterns(std::string_view name, std::u16string_view patterns) {
  size_t start = 0;
  while (start <= patterns.size()) {
    size_t end = patterns.find(u';', start);
    if (end == std::u16string_view::npos) end = patterns.size();
    std::string pattern = Utf16ToUtf8(patterns.substr(start, end - start));
    if (!pattern.empty() && Glob(name, pattern)) return true;
    start = end + 1;
  }
  return false;
}
