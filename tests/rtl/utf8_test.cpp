// The UTF-8 and UTF-16 codec: strictness, replacement of ill-formed input, terminal escapes.
#include "tagscope/rtl/utf8.h"

#include <gtest/gtest.h>

namespace tagscope {
namespace {

const std::string kFFFD = "\xEF\xBF\xBD";

TEST(Utf8, RefusesWhatIsNotStrictUtf8) {
  EXPECT_TRUE(IsValidUtf8("caf\xC3\xA9 \xE6\x97\xA5 \xF0\x9F\x98\x80 \xF4\x8F\xBF\xBF"));
  for (const char* bad :
       {"\xF5\x80\x80\x80", "\xFF", "\xC0\x80", "\xC1\xBF", "\xE0\x80\x80", "\xF0\x80\x80\x80",
        "\xED\xA0\x80", "\xED\xBF\xBF", "\xF4\x90\x80\x80", "\x80", "\xE6\x97"})
    EXPECT_FALSE(IsValidUtf8(bad)) << bad;
}

TEST(Utf8, IllFormedInputBecomesOneReplacementPerMaximalSubpart) {
  // The counts agree with the standard's recommended practice (as Python decodes).
  EXPECT_EQ(SanitizeUtf8("\xF5\x80"), kFFFD + kFFFD);
  EXPECT_EQ(SanitizeUtf8("\xED\xA0\x80"), kFFFD + kFFFD + kFFFD);
  EXPECT_EQ(SanitizeUtf8("\xF0\x80\x80\x80"), kFFFD + kFFFD + kFFFD + kFFFD);
  EXPECT_EQ(SanitizeUtf8("\xE6\x97"
                         "a"),
            kFFFD + "a");
  EXPECT_EQ(SanitizeUtf8("x\xF0\x9F\x98"), "x" + kFFFD);
  EXPECT_EQ(SanitizeUtf8("a\x80\x80"
                         "b"),
            "a" + kFFFD + kFFFD + "b");
  EXPECT_EQ(Utf8ToLatin1("caf\xC3\xA9 \xE2\x82\xAC \xC3"), "caf\xE9 ? ?");
  EXPECT_TRUE(FitsLatin1("caf\xC3\xA9\xC3\xBF"));
  EXPECT_FALSE(FitsLatin1("\xC4\x80"));
  EXPECT_FALSE(FitsLatin1("caf\xE9"));  // ISO-8859-1 bytes are not UTF-8
}

TEST(Utf8, Utf16BothWays) {
  const std::string text = "\xD0\x9F \xCE\xA9 \xE6\x97\xA5 \xF0\x9F\x8E\xB5";  // П Ω 日 🎵
  const std::u16string units = Utf8ToUtf16(text);
  EXPECT_EQ(units, (std::u16string{0x41F, ' ', 0x3A9, ' ', 0x65E5, ' ', 0xD83C, 0xDFB5}));
  EXPECT_EQ(Utf16ToUtf8(units), text);
  // Lone surrogates, high or low, at the end or before another character.
  EXPECT_EQ(Utf16ToUtf8(std::u16string{0xD83C}), kFFFD);
  EXPECT_EQ(Utf16ToUtf8(std::u16string{0xD83C, 'a', 0xDFB5}), kFFFD + "a" + kFFFD);
  EXPECT_EQ(Utf8Prefix(text, 3), "\xD0\x9F \xCE\xA9");
  EXPECT_TRUE(IsValidUtf16(units));
  EXPECT_FALSE(IsValidUtf16(std::u16string{'a', 0xDFB5, 0xD83C}));  // the pair's halves swapped
  EXPECT_FALSE(IsValidUtf16(std::u16string{0xD83C}));
}

TEST(Utf8, Utf16AsBytesInEitherOrder) {
  // 🎵 then a lone high surrogate whose would-be partner is cut to one byte.
  const std::string little("\x3C\xD8\xB5\xDF\x3C\xD8\xB5", 7);
  const std::string big("\xD8\x3C\xDF\xB5\xD8\x3C\xDF", 7);
  for (const auto& [bytes, bigEndian] : {std::pair(little, false), std::pair(big, true)}) {
    size_t at = 0;
    EXPECT_EQ(NextUtf16(bytes, at, bigEndian), U'\U0001F3B5');
    EXPECT_EQ(at, 4u);
    EXPECT_EQ(NextUtf16(bytes, at, bigEndian), kReplacementCharacter);
    EXPECT_EQ(at, 6u);  // the odd last byte is the caller's
  }
}

TEST(Utf8, TerminalEscapes) {
  EXPECT_EQ(EscapeForTerminal("a\tb\nc\x1B[31mred\x7F"), "a\\tb\\nc\\x1B[31mred\\x7F");
  EXPECT_EQ(EscapeForTerminal("\xC2\x9B"
                              "1m \xE2\x80\xAE"
                              "evil"),
            "\\u009B1m \\u202Eevil");
  EXPECT_EQ(EscapeForTerminal("caf\xE9"), "caf" + kFFFD);
  EXPECT_EQ(EscapeForTerminal("\xE6\x97\xA5\\"), "\xE6\x97\xA5\\");
}

}  // namespace
}  // namespace tagscope
