// zlib compression, unsynchronisation and text encodings.
#include <gtest/gtest.h>

#include "engine/tag/unsync.h"
#include "engine/tag/zlib_codec.h"
#include "tagscope/engine/text_encoding.h"
#include "tests/engine/tag_builder.h"

namespace tagscope {
namespace {

using test::Bytes;

TEST(Zlib, RoundTripsAtEveryLevel) {
  std::string data;
  for (int i = 0; i < 20000; ++i) data.push_back(static_cast<char>(i * 7 % 251));
  for (auto level : {TCompressionLevel::clNone, TCompressionLevel::clFastest,
                     TCompressionLevel::clDefault, TCompressionLevel::clMax}) {
    TMemoryStream s(data);
    CompressStream(s, level);
    EXPECT_EQ(s.Position(), s.Size());
    EXPECT_EQ(static_cast<uint8_t>(s.Bytes()[0]), 0x78);  // a zlib header
    DecompressStream(s);
    EXPECT_EQ(s.Bytes(), data);
    EXPECT_EQ(s.Position(), s.Size());
  }
}

TEST(Zlib, CorruptDataRaisesAndTruncatedDataKeepsWhatInflated) {
  TMemoryStream corrupt(std::string("this is not zlib data"));
  try {
    DecompressStream(corrupt);
    FAIL() << "no error";
  } catch (const EDecompressionError& e) {
    EXPECT_STREQ(e.what(), "Error");
  }
  TMemoryStream s(std::string(100000, 'a'));
  CompressStream(s, TCompressionLevel::clMax);
  std::string cut = s.Bytes().substr(0, s.Bytes().size() - 10);
  TMemoryStream truncated(cut);
  DecompressStream(truncated);
  EXPECT_GT(truncated.Size(), 0);
  EXPECT_LE(truncated.Size(), 100000);
}

TEST(Zlib, AStreamThatWantsAPresetDictionaryFailsInsteadOfHanging) {
  // Header 78 BB: deflate, FDICT set, then the dictionary's Adler-32 and some data.
  TMemoryStream s(Bytes({0x78, 0xBB, 0x01, 0x02, 0x03, 0x04, 0x4B, 0x4C, 0x02, 0x00}));
  EXPECT_THROW(DecompressStream(s), EDecompressionError);
}

TEST(Zlib, InflatingPastTheLimitFails) {
  TMemoryStream s(std::string(100000, '\0'));
  CompressStream(s, TCompressionLevel::clMax);
  try {
    DecompressStream(s, 50000);
    FAIL() << "no error";
  } catch (const EDecompressionError& e) {
    EXPECT_NE(std::string(e.what()).find("limit"), std::string::npos);
  }
  EXPECT_LE(s.Size(), 50000);
}

TEST(Unsynchronisation, AppliesAndUndoes) {
  const std::string jpeg = Bytes({0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0xFF, 0x00, 0x41, 0xFF});
  const std::string stored = ApplyUnsynchronisation(jpeg);
  EXPECT_EQ(stored,
            Bytes({0xFF, 0xD8, 0xFF, 0x00, 0xE0, 0x00, 0xFF, 0x00, 0x00, 0x41, 0xFF, 0x00}));
  EXPECT_EQ(UndoUnsynchronisation(stored), jpeg);
  // Decoded offsets map back to the stored bytes they came from.
  EXPECT_EQ(StoredOffset(stored, 0), 0);
  EXPECT_EQ(StoredOffset(stored, 3), 4);
  EXPECT_EQ(StoredOffset(stored, 7), 9);
  EXPECT_EQ(StoredOffset(stored, 9), 12);
  EXPECT_EQ(StoredOffset(stored, 100), 12);
}

TEST(TextEncoding, DecodesAllFourEncodingsToLatin1) {
  EXPECT_EQ(DecodeText("caf\xE9", teISO88591), "caf\xE9");
  EXPECT_EQ(DecodeText(Bytes({0xFF, 0xFE, 'c', 0, 0xE9, 0, 0x3A, 0x04}), teUTF16), "c\xE9?");
  EXPECT_EQ(DecodeText(Bytes({0xFE, 0xFF, 0, 'c', 0, 0xE9}), teUTF16), "c\xE9");
  EXPECT_EQ(DecodeText(Bytes({0, 'c', 0, 0xE9}), teUTF16BE), "c\xE9");
  EXPECT_EQ(DecodeText("caf\xC3\xA9 \xE2\x82\xAC", teUTF8), "caf\xE9 ?");
  EXPECT_EQ(DecodeText("\xEF\xBB\xBFok\xC3", teUTF8), "ok?");  // mark dropped, bad tail
  // A character outside the basic plane is one '?'.
  EXPECT_EQ(DecodeText(Bytes({0xFF, 0xFE, 0x3D, 0xD8, 0x00, 0xDE, 'a', 0}), teUTF16), "?a");
  EXPECT_EQ(DecodeText("\xF0\x9F\x98\x80", teUTF8), "?");
}

TEST(TextEncoding, TerminatorsFollowTheEncoding) {
  // In UTF-16 only two zero bytes on a 2-byte boundary end a string.
  const std::string utf16 = Bytes({'a', 0, 0, 'b', 0, 0, 'x'});
  EXPECT_EQ(FindTerminator(utf16, 0, teUTF16), 4u);
  EXPECT_EQ(FindTerminator(utf16, 0, teISO88591), 1u);
  EXPECT_EQ(TerminatedString(utf16, 0, teUTF16BE), utf16.substr(0, 4));
  EXPECT_EQ(FindTerminator("abc", 0, teUTF8), std::string_view::npos);
  EXPECT_EQ(TerminatedString("abc", 5, teUTF8), "");
  EXPECT_EQ(Latin1ToUtf8("caf\xE9"), "caf\xC3\xA9");
}

}  // namespace
}  // namespace tagscope
