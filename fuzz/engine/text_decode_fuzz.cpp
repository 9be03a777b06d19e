// The text decoders on arbitrary bytes: odd lengths, lone and swapped surrogates, missing or
// repeated byte-order marks. The first byte picks the encoding. The UTF-8 view must be well
// formed and agree with the codec's own UTF-16 path, the ISO-8859-1 view must be its lossy
// image, and a text encoded for writing must read back as it was.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "tagscope/engine/text_encoding.h"
#include "tagscope/rtl/utf8.h"

namespace {

using namespace tagscope;

void Check(bool condition) {
  if (!condition) std::abort();
}

std::string WithoutMarks(const std::string& utf8) {
  std::string out;
  for (size_t at = 0; at < utf8.size();) {
    const char32_t c = NextUtf8(utf8, at);
    if (c != 0xFEFF) AppendUtf8(out, c);
  }
  return out;
}

// What the UTF-16 decoders should give, computed through the codec's code-unit path.
std::string ExpectedUtf16(std::string_view bytes, bool bigEndian) {
  if (bytes.size() >= 2) {
    const auto b0 = static_cast<uint8_t>(bytes[0]), b1 = static_cast<uint8_t>(bytes[1]);
    if ((b0 == 0xFF && b1 == 0xFE) || (b0 == 0xFE && b1 == 0xFF)) {
      bigEndian = b0 == 0xFE;
      bytes.remove_prefix(2);
    }
  }
  std::u16string units;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const auto a = static_cast<uint8_t>(bytes[i]), b = static_cast<uint8_t>(bytes[i + 1]);
    units.push_back(static_cast<char16_t>(bigEndian ? a << 8 | b : b << 8 | a));
  }
  std::string out = WithoutMarks(Utf16ToUtf8(units));
  if (bytes.size() % 2 != 0) out += "\xEF\xBF\xBD";
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t encoding = data[0] % 5;  // 4: an unknown encoding byte
  const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);

  const std::string utf8 = DecodeTextUtf8(bytes, encoding);
  const std::string latin1 = DecodeText(bytes, encoding);
  Check(IsValidUtf8(utf8));
  // Both views from one pass are the two views.
  std::string latin1Both, utf8Both;
  DecodeTextViews(bytes, encoding, latin1Both, utf8Both);
  Check(latin1Both == latin1 && utf8Both == utf8);
  if (encoding == teUTF16 || encoding == teUTF16BE) {
    Check(utf8 == ExpectedUtf16(bytes, encoding == teUTF16BE));
    // The ISO-8859-1 view drops the odd byte that the UTF-8 view marks.
    std::string whole = utf8;
    if (bytes.size() % 2 != 0) whole.resize(whole.size() - 3);
    Check(Utf8ToLatin1(whole) == latin1);
  } else if (encoding == teUTF8) {
    Check(utf8 == WithoutMarks(SanitizeUtf8(bytes)));
  } else {
    Check(utf8 == Latin1ToUtf8(bytes) && latin1 == bytes);
  }

  // Whatever was read is written back without loss in the encoding a writer picks.
  for (const uint8_t version : {3, 4}) {
    const uint8_t chosen = EncodingForText(utf8, version);
    const std::string stored = EncodeText(utf8, chosen);
    Check(DecodeTextUtf8(stored, chosen) == WithoutMarks(utf8));
    Check(FindTerminator(stored, 0, chosen) == std::string_view::npos ||
          utf8.find('\0') != std::string::npos);
  }
  return 0;
}
