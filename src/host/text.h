// Wide text at the host edge. The program keeps paths and user-interface texts
// as UTF-16; the host speaks UTF-8 bytes. Bytes that are not valid UTF-8 (a
// file name written in another encoding, say) decode to the lone surrogates
// U+DC80..U+DCFF and encode back to the same bytes, so every host name survives
// the round trip and still opens.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

/// Decodes host bytes to UTF-16, mapping each undecodable byte B to U+DC00+B.
std::u16string Utf8ToUtf16(std::string_view bytes);

/// Encodes UTF-16 to host bytes; U+DC80..U+DCFF become the single bytes 0x80..0xFF
/// and other unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);

/// Whether `c` is a bidirectional embedding, override or isolate control
/// (U+202A..U+202E, U+2066..U+2069): shown as it is, it reorders the text
/// around it.
bool IsBidiControl(char32_t c);

/// `bytes` made safe to print on a terminal: C0 and C1 controls and DEL as
/// \xNN (the control's code point), bidirectional controls as \uNNNN, and
/// bytes that are not UTF-8 as \xNN. Everything else, backslashes included,
/// stays as it is. With `keep_newlines`, '\n' stays a line end.
std::string EscapeForTerminal(std::string_view bytes, bool keep_newlines = false);

/// Length of a NUL-terminated wide string.
size_t WideLength(const char16_t* text);

/// Copies a wide string into a buffer of `capacity` characters, cutting it so
/// that the terminator always fits. Returns the characters copied.
size_t CopyWide(char16_t* dest, size_t capacity, std::u16string_view text);

/// UTF-16 surrogates: a high (leading) and a low (trailing) unit, and either.
constexpr bool IsHighSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDBFF; }
constexpr bool IsLowSurrogate(char32_t c) { return c >= 0xDC00 && c <= 0xDFFF; }
constexpr bool IsSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDFFF; }

/// The code point of a high and a low surrogate.
constexpr char32_t CombineSurrogates(char32_t high, char32_t low) {
  return 0x10000 + ((high - 0xD800) << 10) + (low - 0xDC00);
}

/// Appends one code point, encoded.
void AppendUtf8(std::string* text, char32_t point);
void AppendUtf16(std::u16string* text, char32_t point);

/// ASCII letters in lower case; everything else as it is.
constexpr char FoldAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
constexpr char16_t FoldAscii(char16_t c) {
  return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

/// Whether a file name matches one of `patterns`, joined by ';' ("*.gpx;*.GPX"):
/// '*' any run of bytes, '?' one byte, ASCII letters in either case. The one
/// matcher of the file dialogs' filters and of dropped files.
bool MatchesNamePatterns(std::string_view name, std::u16string_view patterns);
