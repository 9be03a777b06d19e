#include "tagscope/engine/text_encoding.h"

namespace tagscope {

namespace {

constexpr char32_t kByteOrderMark = 0xFEFF;

// Collects decoded characters in one or both views: ISO-8859-1 with '?' for what it lacks,
// and UTF-8. A byte-order mark inside the text carries no character in either.
class TTextSink {
 public:
  TTextSink(std::string* latin1, std::string* utf8) : FLatin1(latin1), FUtf8(utf8) {}
  void Add(char32_t c) {
    if (c == kByteOrderMark) return;
    if (FUtf8) AppendUtf8(*FUtf8, c);
    if (FLatin1) FLatin1->push_back(c <= 0xFF ? static_cast<char>(c) : '?');
  }
  // Bytes that form no character: U+FFFD in UTF-8, one '?' per byte in ISO-8859-1.
  void AddInvalid(size_t bytes) {
    if (FUtf8) AppendUtf8(*FUtf8, kReplacementCharacter);
    if (FLatin1) FLatin1->append(bytes, '?');
  }
  // Half a code unit at the end of UTF-16: only the UTF-8 view marks it.
  void AddHalfUnit() {
    if (FUtf8) AppendUtf8(*FUtf8, kReplacementCharacter);
  }

 private:
  std::string* FLatin1;
  std::string* FUtf8;
};

void DecodeUTF16(std::string_view bytes, bool bigEndian, TTextSink& sink) {
  for (size_t at = 0; at + 1 < bytes.size();) sink.Add(NextUtf16(bytes, at, bigEndian));
  if (bytes.size() % 2 != 0) sink.AddHalfUnit();
}

void DecodeUTF16WithMark(std::string_view bytes, bool bigEndianByDefault, TTextSink& sink) {
  bool bigEndian = bigEndianByDefault;
  if (bytes.size() >= 2) {
    const auto b0 = static_cast<uint8_t>(bytes[0]), b1 = static_cast<uint8_t>(bytes[1]);
    if ((b0 == 0xFF && b1 == 0xFE) || (b0 == 0xFE && b1 == 0xFF)) {
      bigEndian = b0 == 0xFE;
      bytes.remove_prefix(2);
    }
  }
  DecodeUTF16(bytes, bigEndian, sink);
}

// A byte that starts no character begins an ill-formed run of itself and the continuation
// bytes after it (which start none either): one U+FFFD for the run, one '?' per byte.
void DecodeUTF8(std::string_view bytes, TTextSink& sink) {
  for (size_t i = 0; i < bytes.size();) {
    char32_t c = 0;
    const size_t length = DecodeUtf8At(bytes, i, c);
    if (length > 0) {
      sink.Add(c);
      i += length;
      continue;
    }
    const size_t start = i;
    NextUtf8(bytes, i);
    sink.AddInvalid(i - start);
  }
}

void Decode(std::string_view bytes, uint8_t encoding, std::string* latin1, std::string* utf8) {
  // ASCII, as most texts are, reads the same in both views; so does well-formed UTF-8 in the
  // UTF-8 view, where it holds no byte-order mark.
  const bool ascii = encoding != teUTF16 && encoding != teUTF16BE && IsAscii(bytes);
  if (ascii || (encoding == teUTF8 && !latin1 && IsValidUtf8(bytes) &&
                bytes.find("\xEF\xBB\xBF") == std::string_view::npos)) {
    if (utf8) utf8->assign(bytes);
    if (latin1) latin1->assign(bytes);
    return;
  }
  TTextSink sink(latin1, utf8);
  switch (encoding) {
    case teUTF16:
      DecodeUTF16WithMark(bytes, false, sink);
      break;
    case teUTF16BE:
      DecodeUTF16WithMark(bytes, true, sink);
      break;
    case teUTF8:
      DecodeUTF8(bytes, sink);
      break;
    default:
      if (utf8) *utf8 = Latin1ToUtf8(bytes);
      if (latin1) latin1->assign(bytes);
  }
}

void AppendUnit(std::string& out, char16_t unit, bool bigEndian) {
  const auto hi = static_cast<char>(unit >> 8), lo = static_cast<char>(unit & 0xFF);
  out.push_back(bigEndian ? hi : lo);
  out.push_back(bigEndian ? lo : hi);
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
  std::string latin1;
  Decode(bytes, encoding, &latin1, nullptr);
  return latin1;
}

std::string DecodeTextUtf8(std::string_view bytes, uint8_t encoding) {
  std::string utf8;
  Decode(bytes, encoding, nullptr, &utf8);
  return utf8;
}

void DecodeTextViews(std::string_view bytes, uint8_t encoding, std::string& latin1,
                     std::string& utf8) {
  latin1.clear();
  utf8.clear();
  Decode(bytes, encoding, &latin1, &utf8);
}

uint8_t EncodingForText(std::string_view utf8, uint8_t version) {
  if (FitsLatin1(utf8)) return teISO88591;
  return version >= 4 ? teUTF8 : teUTF16;
}

std::string EncodeText(std::string_view utf8, uint8_t encoding) {
  switch (encoding) {
    case teISO88591:
      return Utf8ToLatin1(utf8);
    case teUTF8:
      return SanitizeUtf8(utf8);
    default:
      break;
  }
  const bool bigEndian = encoding == teUTF16BE;
  const std::u16string units = Utf8ToUtf16(utf8);
  std::string out;
  out.reserve(2 * units.size() + 2);
  if (!bigEndian) AppendUnit(out, 0xFEFF, false);  // the mark tells readers the byte order
  for (const char16_t unit : units) AppendUnit(out, unit, bigEndian);
  return out;
}

std::string Terminator(uint8_t encoding) {
  return std::string(TerminatorWidth(encoding), '\0');
}

}  // namespace tagscope
