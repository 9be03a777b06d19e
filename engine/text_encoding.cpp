#include "engine/text_encoding.h"

namespace tagscope {

namespace {

constexpr char32_t kByteOrderMark = 0xFEFF;

void AppendLatin1(std::string& out, char32_t c) {
  if (c == kByteOrderMark) return;  // a mark inside the text carries no character
  out.push_back(c <= 0xFF ? static_cast<char>(c) : '?');
}

std::string DecodeUTF16(std::string_view bytes, bool bigEndian) {
  auto unit = [&](size_t i) -> char32_t {
    const auto hi = static_cast<uint8_t>(bytes[bigEndian ? i : i + 1]);
    const auto lo = static_cast<uint8_t>(bytes[bigEndian ? i + 1 : i]);
    return static_cast<char32_t>(hi << 8 | lo);
  };
  std::string out;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const char32_t c = unit(i);
    // A surrogate pair is one character outside ISO-8859-1.
    if (c >= 0xD800 && c <= 0xDBFF && i + 3 < bytes.size() && unit(i + 2) >= 0xDC00 &&
        unit(i + 2) <= 0xDFFF)
      i += 2;
    AppendLatin1(out, c);
  }
  return out;
}

std::string DecodeUTF16WithMark(std::string_view bytes, bool bigEndianByDefault) {
  bool bigEndian = bigEndianByDefault;
  if (bytes.size() >= 2) {
    const auto b0 = static_cast<uint8_t>(bytes[0]), b1 = static_cast<uint8_t>(bytes[1]);
    if ((b0 == 0xFF && b1 == 0xFE) || (b0 == 0xFE && b1 == 0xFF)) {
      bigEndian = b0 == 0xFE;
      bytes.remove_prefix(2);
    }
  }
  return DecodeUTF16(bytes, bigEndian);
}

// Length of a well-formed UTF-8 sequence starting at i and its code point; 0 when malformed.
size_t UTF8Sequence(std::string_view bytes, size_t i, char32_t& c) {
  const auto lead = static_cast<uint8_t>(bytes[i]);
  size_t length = lead < 0x80                   ? 1
                  : lead >= 0xC2 && lead < 0xE0 ? 2
                  : lead >= 0xE0 && lead < 0xF0 ? 3
                  : lead >= 0xF0 && lead < 0xF5 ? 4
                                                : 0;
  if (length == 0 || i + length > bytes.size()) return 0;
  c = length == 1 ? lead : lead & (0x7F >> length);
  for (size_t k = 1; k < length; ++k) {
    const auto b = static_cast<uint8_t>(bytes[i + k]);
    if ((b & 0xC0) != 0x80) return 0;
    c = c << 6 | (b & 0x3F);
  }
  const char32_t minimum[] = {0, 0, 0x80, 0x800, 0x10000};
  if (c < minimum[length] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return 0;
  return length;
}

std::string DecodeUTF8(std::string_view bytes) {
  std::string out;
  for (size_t i = 0; i < bytes.size();) {
    char32_t c = 0;
    const size_t length = UTF8Sequence(bytes, i, c);
    if (length == 0) {
      out.push_back('?');
      ++i;
      continue;
    }
    AppendLatin1(out, c);
    i += length;
  }
  return out;
}

}  // namespace

size_t TerminatorWidth(uint8_t encoding) {
  return encoding == teUTF16 || encoding == teUTF16BE ? 2 : 1;
}

size_t FindTerminator(std::string_view bytes, size_t begin, uint8_t encoding) {
  if (TerminatorWidth(encoding) == 1) {
    return begin < bytes.size() ? bytes.find('\0', begin) : std::string_view::npos;
  }
  for (size_t i = begin; i + 1 < bytes.size(); i += 2)
    if (bytes[i] == 0 && bytes[i + 1] == 0) return i;
  return std::string_view::npos;
}

std::string_view TerminatedString(std::string_view bytes, size_t begin, uint8_t encoding) {
  if (begin >= bytes.size()) return {};
  const size_t end = FindTerminator(bytes, begin, encoding);
  return bytes.substr(begin, end == std::string_view::npos ? std::string_view::npos : end - begin);
}

std::string DecodeText(std::string_view bytes, uint8_t encoding) {
  switch (encoding) {
    case teUTF16:
      return DecodeUTF16WithMark(bytes, false);
    case teUTF16BE:
      return DecodeUTF16WithMark(bytes, true);
    case teUTF8:
      return DecodeUTF8(bytes);
    default:
      return std::string(bytes);
  }
}

std::string Latin1ToUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char ch : text) {
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

}  // namespace tagscope
