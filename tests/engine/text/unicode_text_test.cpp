// Text in every script: the UTF-8 view of all four encodings and the UTF-8 setters.
#include <gtest/gtest.h>

#include "tagscope/engine/frame_content.h"
#include "tagscope/engine/id3_engine.h"
#include "tests/engine/tag_builder.h"

namespace tagscope {
namespace {

using namespace test;
using namespace std::string_literals;

struct OpenTag {
  OpenTag(int version, const std::string& body) : file(Tag(version, 0, body, 50)) {
    engine.SetReadOnly(true);
    engine.SetFileName(file.Name());
    engine.SetActive(true);
  }
  ScopedFile file;
  TID3Engine engine;
};

// UTF-16 bytes of a string literal as the compiler encodes it, in either order.
std::string Utf16Bytes(std::u16string_view units, bool bigEndian, bool mark) {
  std::string out;
  if (mark) out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
  for (const char16_t u : units) {
    const char hi = static_cast<char>(u >> 8), lo = static_cast<char>(u & 0xFF);
    out += bigEndian ? std::string{hi, lo} : std::string{lo, hi};
  }
  return out;
}

struct Script {
  const char* utf8;
  std::u16string_view utf16;
};
const Script kScripts[] = {
    {"\xD0\x9A\xD0\xB8\xD0\xBD\xD0\xBE", u"\u041A\u0438\u043D\u043E"},    // Кино
    {"\xCE\x9F\xCE\xB4\xCF\x8D\xCF\x83\xCF\x83\xCE\xB5\xCE\xB9\xCE\xB1",  // Οδύσσεια
     u"\u039F\u03B4\u03CD\u03C3\u03C3\u03B5\u03B9\u03B1"},
    {"\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E", u"\u65E5\u672C\u8A9E"},          // 日本語
    {"Song \xF0\x9F\x8E\xB5\xF0\x9F\x98\x80", u"Song \U0001F3B5\U0001F600"},  // emoji
};

TEST(UnicodeText, EveryScriptInEveryEncodingReadsInFull) {
  for (const Script& s : kScripts) {
    const std::string text = s.utf8;
    // v2.3: UTF-16 with the mark in both orders; v2.4: UTF-16BE without mark, and UTF-8.
    OpenTag v3(3, FrameV3("TIT2", "\x01" + Utf16Bytes(s.utf16, false, true) + std::string(2, 0)) +
                      FrameV3("TPE1", "\x01" + Utf16Bytes(s.utf16, true, true)) +
                      FrameV3("COMM",
                              "\x01"
                              "eng" +
                                  Utf16Bytes(s.utf16, true, true) + std::string(2, 0) +
                                  Utf16Bytes(s.utf16, false, true)));
    EXPECT_EQ(v3.engine.TitleUtf8(), text);
    EXPECT_EQ(v3.engine.ArtistUtf8(), text);
    TID3Comment c;
    ASSERT_TRUE(v3.engine.GetComment(0, c));
    EXPECT_EQ(c.DescriptionUtf8, text);
    EXPECT_EQ(c.TextUtf8, text);
    OpenTag v4(4, FrameV4("TIT2", "\x02" + Utf16Bytes(s.utf16, true, false)) +
                      FrameV4("TALB", "\x03 " + text + std::string(1, 0) + "second value") +
                      FrameV4("WXXX", "\x03" + text + std::string(1, 0) + "http://x.org/") +
                      FrameV4("APIC", "\x02image/png\0\x03"s + Utf16Bytes(s.utf16, true, false) +
                                          std::string(2, 0) + "PNG"));
    EXPECT_EQ(v4.engine.TitleUtf8(), text);
    EXPECT_EQ(v4.engine.Tag().AlbumUtf8(), text);  // trimmed and cut at the terminator as ever
    TID3Url u;
    ASSERT_TRUE(v4.engine.GetURL(0, u));
    EXPECT_EQ(u.DescriptionUtf8, text);
    EXPECT_EQ(u.URLUtf8, "http://x.org/");
    TMemoryStream data;
    TID3Picture p;
    ASSERT_TRUE(v4.engine.GetPicture(0, data, p));
    EXPECT_EQ(p.DescriptionUtf8, text);
    EXPECT_EQ(data.Bytes(), "PNG");
  }
}

TEST(UnicodeText, UserTextsAndLyrics) {
  const std::u16string_view greek = u"\u039F\u03B4\u03CD\u03C3\u03C3\u03B5\u03B9\u03B1";
  const std::string greekUtf8 = kScripts[1].utf8, emoji = kScripts[3].utf8;
  OpenTag t(4, FrameV4("TXXX", "\x01" + Utf16Bytes(greek, true, true) + std::string(2, 0) +
                                   Utf16Bytes(u"Song \U0001F3B5\U0001F600", false, true)) +
                   FrameV4("TXXX", BuildUserTextUtf8("Caf\xC3\xA9", emoji, 4)) +
                   FrameV4("USLT",
                           "\x03"
                           "jpn" +
                               greekUtf8 + std::string(1, 0) + emoji));
  TID3UserText text;
  ASSERT_TRUE(t.engine.Tag().GetUserText(0, text));
  EXPECT_EQ(text.DescriptionUtf8, greekUtf8);
  EXPECT_EQ(text.TextUtf8, emoji);
  EXPECT_EQ(text.Text, "Song ??");
  ASSERT_TRUE(t.engine.Tag().GetUserText(1, text));
  EXPECT_EQ(text.Description, "Caf\xE9");
  EXPECT_EQ(text.TextUtf8, emoji);
  EXPECT_FALSE(t.engine.Tag().GetUserText(2, text));
  TID3Comment lyrics;
  ASSERT_TRUE(t.engine.Tag().GetLyrics(0, lyrics));
  EXPECT_EQ(lyrics.Language, "jpn");
  EXPECT_EQ(lyrics.DescriptionUtf8, greekUtf8);
  EXPECT_EQ(lyrics.TextUtf8, emoji);
  // An ISO-8859-1 user text is stored in it; others in UTF-16 with the mark in version 3.
  EXPECT_EQ(BuildUserTextUtf8("a", "b\xC3\xA9", 3), std::string("\0a\0b\xE9", 5));
  EXPECT_EQ(BuildUserTextUtf8("a", "\xCE\xA9", 3), std::string("\x01\xFF\xFE"
                                                               "a\0\0\0\xFF\xFE\xA9\x03",
                                                               11));
}

TEST(UnicodeText, Latin1ViewUnchanged) {
  OpenTag t(4, FrameV4("TIT2", "\x01" + Utf16Bytes(u"Caf\u00E9 \u65E5\U0001F3B5", false, true)));
  EXPECT_EQ(t.engine.Title(), "Caf\xE9 ??");
  EXPECT_EQ(t.engine.TitleUtf8(), "Caf\xC3\xA9 \xE6\x97\xA5\xF0\x9F\x8E\xB5");
}

TEST(UnicodeText, AnUnknownEncodingByteReadsAsLatin1) {
  // Bytes that would be UTF-8 ("Caf\xC3\xA9") and one that would not ("\xE9").
  for (const char encoding : {'\x04', '\x7F', '\xFF'}) {
    OpenTag t(4, FrameV4("TIT2", std::string(1, encoding) + "Caf\xC3\xA9") +
                     FrameV4("COMM", std::string(1, encoding) + "ENGd\0t\xE9"s));
    EXPECT_EQ(t.engine.TitleUtf8(), "Caf\xC3\x83\xC2\xA9");
    EXPECT_EQ(t.engine.Title(), "Caf\xC3\xA9");
    TID3Comment c;
    ASSERT_TRUE(t.engine.GetComment(0, c));
    EXPECT_EQ(c.DescriptionUtf8, "d");
    EXPECT_EQ(c.TextUtf8, "t\xC3\xA9");
    EXPECT_EQ(c.Text, "t\xE9");
  }
}

TEST(UnicodeText, DamagedUtf16ReadsAsReplacementCharacters) {
  const std::string fffd = "\xEF\xBF\xBD";
  // A lone high surrogate before a letter, a lone low one, an odd last byte.
  OpenTag t(4, FrameV4("TIT2",
                       "\x01\xFF\xFE\x3C\xD8"
                       "a\0\xB5\xDF"
                       "b\0c"s) +
                   FrameV4("TPE1", "\x02\xD8\x3C") +
                   FrameV4("TALB",
                           "\x03"
                           "ok\xE6\x97"));
  EXPECT_EQ(t.engine.TitleUtf8(), fffd + "a" + fffd + "b" + fffd);
  EXPECT_EQ(t.engine.Title(), "?a?b");  // the Latin-1 view as it always was
  EXPECT_EQ(t.engine.ArtistUtf8(), fffd);
  EXPECT_EQ(t.engine.Tag().AlbumUtf8(), "ok" + fffd);
}

TEST(UnicodeText, SettersPickTheEncodingByContentAndVersion) {
  const std::string japanese = "\xE6\x97\xA5\xE6\x9C\xAC";  // 日本
  for (const int version : {3, 4}) {
    OpenTag t(version, "");
    TID3Engine& e = t.engine;
    e.SetTitleUtf8("Caf\xC3\xA9");
    EXPECT_EQ(e.Frames().FindFrame("TIT2")->Data().Bytes(), std::string("\0Caf\xE9", 5));
    e.Tag().SetArtistUtf8(japanese);
    const std::string stored = e.Frames().FindFrame("TPE1")->Data().Bytes();
    if (version == 4)
      EXPECT_EQ(stored, "\x03" + japanese);
    else
      EXPECT_EQ(stored, "\x01\xFF\xFE\xE5\x65\x2C\x67");
    EXPECT_EQ(e.ArtistUtf8(), japanese);
    EXPECT_EQ(e.Artist(), "??");

    EXPECT_EQ(e.Tag().AddCommentUtf8("\xCE\xA9", "\xD0\x94\xD0\xB0", "rus"), 0);
    TID3Comment c;
    ASSERT_TRUE(e.GetComment(0, c));
    EXPECT_EQ(c.Language, "rus");
    EXPECT_EQ(c.DescriptionUtf8, "\xCE\xA9");
    EXPECT_EQ(c.TextUtf8, "\xD0\x94\xD0\xB0");
    // A comment in ISO-8859-1 is stored exactly as AddComment stores it.
    e.Tag().AddCommentUtf8("d", "caf\xC3\xA9", "ENG");
    e.AddComment("d", "caf\xE9", "ENG");
    EXPECT_EQ(e.Frames().Items(3).Data().Bytes(), e.Frames().Items(4).Data().Bytes());
  }
}

}  // namespace
}  // namespace tagscope
