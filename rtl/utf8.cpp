#include "tagscope/rtl/utf8.h"

#include <cstdio>
#include <cstring>

namespace tagscope {

namespace {

bool IsSurrogate(char32_t c) {
  return c >= 0xD800 && c <= 0xDFFF;
}

// Number of bytes a lead byte announces (0: not a lead byte) and the range its second byte must
// lie in, which rules out overlong forms, surrogates and values past U+10FFFF in one check.
size_t LeadLength(uint8_t lead, uint8_t& low, uint8_t& high) {
  low = 0x80;
  high = 0xBF;
  if (lead < 0x80) return 1;
  if (lead < 0xC2) return 0;
  if (lead < 0xE0) return 2;
  if (lead < 0xF0) {
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
    return 3;
  }
  if (lead < 0xF5) {
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
    return 4;
  }
  return 0;
}

// Bytes of the longest prefix at `at` that could start a well-formed sequence (at least 1), and
// whether it is one whole sequence.
size_t ScanSequence(std::string_view bytes, size_t at, char32_t& code, bool& complete) {
  uint8_t low = 0, high = 0;
  const auto lead = static_cast<uint8_t>(bytes[at]);
  const size_t length = LeadLength(lead, low, high);
  complete = false;
  if (length == 0) return 1;
  code = length == 1 ? lead : lead & (0x7F >> length);
  size_t k = 1;
  for (; k < length && at + k < bytes.size(); ++k) {
    const auto b = static_cast<uint8_t>(bytes[at + k]);
    if (b < low || b > high) return k;
    low = 0x80;
    high = 0xBF;
    code = code << 6 | (b & 0x3F);
  }
  complete = k == length;
  return k;
}

}  // namespace

size_t DecodeUtf8At(std::string_view bytes, size_t at, char32_t& code) {
  if (at >= bytes.size()) return 0;
  bool complete = false;
  char32_t c = 0;
  const size_t length = ScanSequence(bytes, at, c, complete);
  if (!complete) return 0;
  code = c;
  return length;
}

char32_t NextUtf8(std::string_view bytes, size_t& at) {
  bool complete = false;
  char32_t c = 0;
  at += ScanSequence(bytes, at, c, complete);
  return complete ? c : kReplacementCharacter;
}

bool IsAscii(std::string_view bytes) {
  // Eight bytes at a time: most texts of a tag are ASCII, and a dump asks of every one.
  size_t at = 0;
  for (uint64_t word = 0; at + 8 <= bytes.size(); at += 8) {
    std::memcpy(&word, bytes.data() + at, 8);
    if (word & 0x8080808080808080u) return false;
  }
  for (; at < bytes.size(); ++at)
    if (static_cast<uint8_t>(bytes[at]) >= 0x80) return false;
  return true;
}

bool IsValidUtf8(std::string_view bytes) {
  if (IsAscii(bytes)) return true;
  char32_t c = 0;
  for (size_t at = 0; at < bytes.size();) {
    const size_t length = DecodeUtf8At(bytes, at, c);
    if (length == 0) return false;
    at += length;
  }
  return true;
}

std::string SanitizeUtf8(std::string_view bytes) {
  if (IsValidUtf8(bytes)) return std::string(bytes);
  std::string out;
  for (size_t at = 0; at < bytes.size();) AppendUtf8(out, NextUtf8(bytes, at));
  return out;
}

void AppendUtf8(std::string& out, char32_t c) {
  if (IsSurrogate(c) || c > 0x10FFFF) c = kReplacementCharacter;
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | c >> 6));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | c >> 12));
    out.push_back(static_cast<char>(0x80 | (c >> 6 & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | c >> 18));
    out.push_back(static_cast<char>(0x80 | (c >> 12 & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c >> 6 & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

std::string Latin1ToUtf8(std::string_view text) {
  // Most texts are ASCII, which is the same in both.
  size_t ascii = 0;
  while (ascii < text.size() && static_cast<uint8_t>(text[ascii]) < 0x80) ++ascii;
  std::string out(text.substr(0, ascii));
  if (ascii == text.size()) return out;
  out.reserve(text.size() + (text.size() - ascii));
  for (const char ch : text.substr(ascii)) {
    const auto c = static_cast<uint8_t>(ch);
    if (c < 0x80) {
      out.push_back(ch);
    } else {
      out.push_back(static_cast<char>(0xC0 | c >> 6));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return out;
}

std::string Utf8ToLatin1(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (size_t at = 0; at < utf8.size();) {
    const char32_t c = NextUtf8(utf8, at);
    out.push_back(c <= 0xFF ? static_cast<char>(c) : '?');
  }
  return out;
}

bool FitsLatin1(std::string_view utf8) {
  char32_t c = 0;
  for (size_t at = 0; at < utf8.size();) {
    const size_t length = DecodeUtf8At(utf8, at, c);
    if (length == 0 || c > 0xFF) return false;
    at += length;
  }
  return true;
}

bool IsValidUtf16(std::u16string_view units) {
  for (size_t i = 0; i < units.size(); ++i) {
    if (!IsSurrogate(units[i])) continue;
    if (units[i] > 0xDBFF || i + 1 >= units.size() || units[i + 1] < 0xDC00 ||
        units[i + 1] > 0xDFFF)
      return false;
    ++i;
  }
  return true;
}

namespace {

// The code point at unit i of `count` UTF-16 code units that unit(k) reads, advancing i past
// it: a high surrogate followed by a low one joined, any other surrogate as U+FFFD.
template <class TUnitReader>
char32_t NextUtf16Unit(const TUnitReader& unit, size_t count, size_t& i) {
  const char32_t c = unit(i++);
  if (c >= 0xD800 && c <= 0xDBFF && i < count) {
    const char32_t low = unit(i);
    if (low >= 0xDC00 && low <= 0xDFFF) {
      ++i;
      return 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
    }
  }
  return IsSurrogate(c) ? kReplacementCharacter : c;
}

}  // namespace

std::string Utf16ToUtf8(std::u16string_view units) {
  std::string out;
  out.reserve(units.size());
  const auto unit = [units](size_t k) { return static_cast<char32_t>(units[k]); };
  for (size_t i = 0; i < units.size();) AppendUtf8(out, NextUtf16Unit(unit, units.size(), i));
  return out;
}

char32_t NextUtf16(std::string_view bytes, size_t& at, bool bigEndian) {
  const auto unit = [bytes, bigEndian](size_t k) {
    const auto first = static_cast<uint8_t>(bytes[2 * k]);
    const auto second = static_cast<uint8_t>(bytes[2 * k + 1]);
    return static_cast<char32_t>(bigEndian ? first << 8 | second : second << 8 | first);
  };
  size_t i = at / 2;
  const char32_t c = NextUtf16Unit(unit, bytes.size() / 2, i);
  at = 2 * i;
  return c;
}

std::u16string Utf8ToUtf16(std::string_view utf8) {
  std::u16string out;
  out.reserve(utf8.size());
  for (size_t at = 0; at < utf8.size();) {
    const char32_t c = NextUtf8(utf8, at);
    if (c < 0x10000) {
      out.push_back(static_cast<char16_t>(c));
    } else {
      out.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
    }
  }
  return out;
}

std::string Utf8Prefix(std::string_view utf8, size_t count) {
  std::string out;
  for (size_t at = 0; at < utf8.size() && count > 0; --count) AppendUtf8(out, NextUtf8(utf8, at));
  return out;
}

namespace {

bool NeedsEscape(char32_t c) {
  return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029 ||
         (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069) || c == 0x200E ||
         c == 0x200F || c == 0x061C;
}

}  // namespace

std::string EscapeForTerminal(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (size_t at = 0; at < bytes.size();) {
    const char32_t c = NextUtf8(bytes, at);
    if (!NeedsEscape(c)) {
      AppendUtf8(out, c);
      continue;
    }
    char escape[12];
    if (c == '\n')
      out += "\\n";
    else if (c == '\r')
      out += "\\r";
    else if (c == '\t')
      out += "\\t";
    else if (c < 0x80)
      std::snprintf(escape, sizeof escape, "\\x%02X", static_cast<unsigned>(c)), out += escape;
    else
      std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned>(c)), out += escape;
  }
  return out;
}

}  // namespace tagscope
