#pragma once

// The project's one UTF-8 and UTF-16 codec. UTF-8 is taken strictly: no overlong forms, no
// encoded surrogates, nothing above U+10FFFF (so no lead bytes C0, C1 or F5-FF). Decoders never
// fail: what is not well formed becomes U+FFFD, one per maximal ill-formed subsequence as the
// Unicode standard recommends (and as Python's and the browsers' decoders do).

#include <cstdint>
#include <string>
#include <string_view>

namespace tagscope {

inline constexpr char32_t kReplacementCharacter = 0xFFFD;

// Length of the well-formed sequence at bytes[at] and its code point in `code`; 0 when the
// bytes there are not one.
size_t DecodeUtf8At(std::string_view bytes, size_t at, char32_t& code);
// The code point at bytes[at], advancing `at` past it; an ill-formed subsequence is consumed
// whole and gives U+FFFD. `at` must be below the size.
char32_t NextUtf8(std::string_view bytes, size_t& at);

bool IsValidUtf8(std::string_view bytes);
// True when every byte is ASCII (below 0x80): the same text in ISO-8859-1 and UTF-8.
bool IsAscii(std::string_view bytes);
// The bytes with every ill-formed subsequence replaced by U+FFFD.
std::string SanitizeUtf8(std::string_view bytes);
// Appends the UTF-8 form of a code point; surrogates and values past U+10FFFF become U+FFFD.
void AppendUtf8(std::string& out, char32_t code);

// ISO-8859-1 bytes as UTF-8.
std::string Latin1ToUtf8(std::string_view text);
// UTF-8 as ISO-8859-1: a character outside it (and an ill-formed subsequence) becomes '?'.
std::string Utf8ToLatin1(std::string_view utf8);
// True when every character is in ISO-8859-1 (U+0000-U+00FF) and the text is well formed.
bool FitsLatin1(std::string_view utf8);

// True when every surrogate in the code units is half of a pair.
bool IsValidUtf16(std::u16string_view units);
// Code units to UTF-8; a lone surrogate becomes U+FFFD.
std::string Utf16ToUtf8(std::u16string_view units);
// The code point at byte `at` (even) of UTF-16 held as bytes, two per code unit in the byte
// order given, advancing `at` past it: a surrogate pair joined, a lone surrogate as U+FFFD. A
// whole code unit must remain at `at`; an odd last byte is left to the caller.
char32_t NextUtf16(std::string_view bytes, size_t& at, bool bigEndian);
// UTF-8 to code units (ill-formed subsequences as U+FFFD).
std::u16string Utf8ToUtf16(std::string_view utf8);

// The first `count` characters of a UTF-8 text (never a partial sequence).
std::string Utf8Prefix(std::string_view utf8, size_t count);

// The text made safe for a terminal: well-formed UTF-8 in which control characters (C0, DEL,
// C1), the line and paragraph separators and the bidirectional embedding, override and isolate
// controls are written as escapes ("\n", "\t", "\x1B", "\u202E") instead of reaching it raw.
std::string EscapeForTerminal(std::string_view bytes);

}  // namespace tagscope
