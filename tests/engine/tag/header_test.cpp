#include <gtest/gtest.h>

#include "engine/frames/stream_helpers.h"
#include "tagscope/engine/id3_header.h"
#include "tagscope/rtl/exception.h"
#include "tests/engine/tag_builder.h"

namespace tagscope {
namespace {

using test::Bytes;

TEST(Header, ReadsVersionFlagsAndSize) {
  TMemoryStream s("ID3" + Bytes({3, 0, 0, 0, 0, 2, 1}) + "more");
  TID3Header h;
  EXPECT_EQ(h.VersionNumber(), 0);  // all zero until the first read
  ASSERT_TRUE(h.LoadFromStream(s));
  EXPECT_EQ(h.VersionNumber(), 3);
  EXPECT_EQ(h.VersionRevision(), 0);
  EXPECT_EQ(h.Size(), 257);
  EXPECT_FALSE(h.Unsynchronisation() || h.ExtendedHeaderPresent() || h.Experimental() ||
               h.FooterPresent());
  EXPECT_EQ(s.Position(), 10);
}

TEST(Header, RejectsOtherSignaturesNewerVersionsAndCutHeaders) {
  for (const std::string& bytes :
       {"ID3" + Bytes({5, 0, 0, 0, 0, 0, 0}), "TAG" + Bytes({3, 0, 0, 0, 0, 0, 0}),
        "ID3" + Bytes({3, 0, 0, 0, 0})}) {
    TMemoryStream s(bytes);
    TID3Header h;
    h.SetUnsynchronisation(true);
    EXPECT_FALSE(h.LoadFromStream(s));
    EXPECT_EQ(h.Size(), -1);
    EXPECT_FALSE(h.Unsynchronisation());
    EXPECT_EQ(h.VersionNumber(), 4);
  }
}

TEST(Header, AllFlagsAndTheVersion4ExtendedHeader) {
  // Flags 0xF0; an extended header with CRC (as this engine writes it) and restrictions.
  TMemoryStream s("ID3" + Bytes({4, 0, 0xF0, 0, 0, 1, 0}) +
                  Bytes({0, 0, 0, 12, 1, 0x70, 0x01, 0x02, 0x03, 0x04, 0x05, 0x80}) + "FRAM");
  TID3Header h;
  ASSERT_TRUE(h.LoadFromStream(s));
  EXPECT_TRUE(h.Unsynchronisation() && h.ExtendedHeaderPresent() && h.Experimental() &&
              h.FooterPresent());
  const TID3ExtendedHeader& e = h.ExtendedHeader();
  EXPECT_TRUE(e.TagIsAnUpdate());
  EXPECT_TRUE(e.CRCDataPresent());
  EXPECT_TRUE(e.TagRestricted());
  EXPECT_EQ(e.CRCData(), (uint64_t{1} << 28) + (2u << 21) + (3u << 14) + (4u << 7) + 5);
  EXPECT_EQ(e.TagRestrictions().TagSize(), TID3TagSizeRestrictions::sr32Frames_40KB);
  EXPECT_EQ(s.Position(), 22);
}

TEST(Header, Version4ExtendedHeaderWithCRCOnlyTakesElevenBytes) {
  TMemoryStream s("ID3" + Bytes({4, 0, 0x40, 0, 0, 1, 0}) +
                  Bytes({0, 0, 0, 0x0B, 1, 0x20, 0, 0, 0, 0, 7}) + "TIT2");
  TID3Header h;
  ASSERT_TRUE(h.LoadFromStream(s));
  EXPECT_TRUE(h.ExtendedHeader().CRCDataPresent());
  EXPECT_FALSE(h.ExtendedHeader().TagRestricted());
  EXPECT_EQ(h.ExtendedHeader().CRCData(), 7u);
  EXPECT_EQ(s.Position(), 21);
}

TEST(Header, StandardVersion4ExtendedHeaderWithLengthBytes) {
  // ID3v2.4 proper: update (length 0), CRC (length 5), restrictions (length 1): size 15.
  TMemoryStream s("ID3" + Bytes({4, 0, 0x40, 0, 0, 1, 0}) +
                  Bytes({0, 0, 0, 15, 1, 0x70, 0, 5, 0, 0, 0, 1, 2, 1, 0xFF}) + "TIT2");
  TID3Header h;
  ASSERT_TRUE(h.LoadFromStream(s));
  const TID3ExtendedHeader& e = h.ExtendedHeader();
  EXPECT_TRUE(e.TagIsAnUpdate());
  EXPECT_EQ(e.CRCData(), 130u);
  EXPECT_EQ(e.TagRestrictions().TextSize(), TID3TextSizeRestrictions::tr30max);
  EXPECT_EQ(s.Position(), 25);
}

TEST(Header, Version3ExtendedHeaderHasItsOwnLayout) {
  // Size 10 (without itself), flags 0x8000 (CRC), padding size, CRC.
  TMemoryStream withCrc("ID3" + Bytes({3, 0, 0x40, 0, 0, 1, 0}) +
                        Bytes({0, 0, 0, 10, 0x80, 0, 0, 0, 1, 0, 0xDE, 0xAD, 0xBE, 0xEF}) + "TIT2");
  TID3Header h;
  ASSERT_TRUE(h.LoadFromStream(withCrc));
  EXPECT_TRUE(h.ExtendedHeader().CRCDataPresent());
  EXPECT_EQ(h.ExtendedHeader().CRCData(), 0xDEADBEEFu);
  EXPECT_FALSE(h.ExtendedHeader().TagIsAnUpdate());
  EXPECT_FALSE(h.ExtendedHeader().TagRestricted());
  EXPECT_EQ(withCrc.Position(), 24);

  TMemoryStream plain("ID3" + Bytes({3, 0, 0x40, 0, 0, 1, 0}) +
                      Bytes({0, 0, 0, 6, 0, 0, 0, 0, 0, 0}) + "TIT2");
  ASSERT_TRUE(h.LoadFromStream(plain));
  EXPECT_FALSE(h.ExtendedHeader().CRCDataPresent());
  EXPECT_EQ(plain.Position(), 20);

  // What this engine writes into a version 3 tag does not fit that layout but fits version 4's.
  TMemoryStream written("ID3" + Bytes({3, 0, 0x40, 0, 0, 1, 0}) + Bytes({0, 0, 0, 6, 1, 0x40}) +
                        "TIT2");
  ASSERT_TRUE(h.LoadFromStream(written));
  EXPECT_TRUE(h.ExtendedHeader().TagIsAnUpdate());
  EXPECT_EQ(written.Position(), 16);
}

TEST(Header, ExtendedHeaderCutShortKeepsWhatWasThere) {
  TMemoryStream s("ID3" + Bytes({4, 0, 0x40, 0, 0, 1, 0}) + Bytes({0, 0, 0, 11, 1, 0x20, 0}));
  TID3Header h;
  EXPECT_TRUE(h.LoadFromStream(s));
  EXPECT_TRUE(h.ExtendedHeader().CRCDataPresent());
  EXPECT_EQ(h.ExtendedHeader().CRCData(), 0u);
  EXPECT_EQ(s.Position(), 17);
}

TEST(Header, SyncSafeBytesWithBit7SetReadWithoutIt) {
  // Writers that set bit 7 of a size or CRC byte: the bit is no part of the value.
  TMemoryStream s("ID3" + Bytes({4, 0, 0x40, 0x80, 0x80, 0x82, 0x81}) +
                  Bytes({0, 0, 0, 0x0B, 1, 0x20, 0x80, 0x80, 0x80, 0x81, 0x87}) + "TIT2");
  TID3Header h;
  ASSERT_TRUE(h.LoadFromStream(s));
  EXPECT_EQ(h.Size(), 257);
  EXPECT_EQ(h.ExtendedHeader().CRCData(), (1u << 7) + 7u);
  uint8_t b[4] = {0x85, 0x80, 0x80, 0x80};  // least significant first
  SyncSafeConvert(b, 4, true);
  EXPECT_EQ(b[0], 5);
  EXPECT_EQ(b[1] | b[2] | b[3], 0);
}

TEST(Header, ExtendedHeaderStatedBelowItsLeastSizeIsAWrongFlag) {
  // Six bytes is the least an extended header takes: a smaller size (zero, say) marks bytes
  // that are none, and the flag that announced them is taken for a mistake.
  for (const int version : {3, 4})
    for (const uint8_t size : {0, 1, 5}) {
      SCOPED_TRACE(std::to_string(version) + "/" + std::to_string(size));
      TMemoryStream s("ID3" + Bytes({static_cast<uint8_t>(version), 0, 0x40, 0, 0, 1, 0}) +
                      Bytes({0, 0, 0, size, 1, 0, 0, 0, 0, 0}));
      TID3Header h;
      ASSERT_TRUE(h.LoadFromStream(s));
      EXPECT_FALSE(h.ExtendedHeaderPresent());
      EXPECT_EQ(s.Position(), 10);
    }
}

TEST(Header, SaveToStreamWritesHeaderExtendedHeaderAndFooter) {
  TID3Header h;
  h.Clear();
  TMemoryStream s;
  EXPECT_EQ(h.SaveToStream(s, false), 6);
  EXPECT_EQ(s.Bytes(), "ID3" + Bytes({4, 0, 0, 0, 0, 0, 0}));

  h.SetExtendedHeaderPresent(true);
  h.ExtendedHeader().SetTagIsAnUpdate(true);
  TMemoryStream ext;
  EXPECT_EQ(h.SaveToStream(ext, false), 6);
  EXPECT_EQ(ext.Bytes(), "ID3" + Bytes({4, 0, 0x40, 0, 0, 0, 0, 0, 0, 0, 6, 1, 0x40}));

  h.ExtendedHeader().SetCRCData(0x123456789ull);
  h.SetExtendedHeaderPresent(true);
  h.ExtendedHeader().SetTagRestricted(true);
  h.ExtendedHeader().TagRestrictions().DecodeFlags(0xA5);
  TMemoryStream full;
  h.SaveToStream(full, false);
  std::string bytes = full.Bytes();
  bytes[9] = 12;  // the size field the tag writer fills in
  TMemoryStream written(bytes);
  TID3Header back;
  ASSERT_TRUE(back.LoadFromStream(written));
  EXPECT_EQ(back.ExtendedHeader().CRCData(), 0x123456789ull);
  EXPECT_EQ(back.ExtendedHeader().TagRestrictions().EncodeFlags(), 0xA5);

  TMemoryStream footer;
  footer.WriteString("xx");
  EXPECT_EQ(h.SaveToStream(footer, true), 8);
  EXPECT_EQ(footer.Bytes(), "xx3DI" + Bytes({4, 0, 0x40, 0, 0, 0, 0}));
}

TEST(Restrictions, DecodeAndEncodeEveryByte) {
  TID3TagRestrictions r;
  r.DecodeFlags(0x80);
  EXPECT_EQ(r.TagSize(), TID3TagSizeRestrictions::sr32Frames_40KB);
  EXPECT_FALSE(r.TextEncodingRestrictions() || r.ImageEncodingRestrictions());
  EXPECT_EQ(r.TextSize(), TID3TextSizeRestrictions::trNone);
  EXPECT_EQ(r.ImageSize(), TID3ImageSizeRestrictions::irNone);
  r.DecodeFlags(0xFF);
  EXPECT_EQ(r.TagSize(), TID3TagSizeRestrictions::sr32Frames_4KB);
  EXPECT_TRUE(r.TextEncodingRestrictions() && r.ImageEncodingRestrictions());
  EXPECT_EQ(r.TextSize(), TID3TextSizeRestrictions::tr30max);
  EXPECT_EQ(r.ImageSize(), TID3ImageSizeRestrictions::ir64x64fixed);
  EXPECT_STREQ(EnumName(r.ImageSize()), "ir64x64fixed");
  for (int b = 0; b < 256; ++b) {
    r.DecodeFlags(static_cast<uint8_t>(b));
    EXPECT_EQ(r.EncodeFlags(), b);
  }
}

TEST(Header, AssigningTheOwnedObjectsIsRefused) {
  TID3Header h;
  try {
    h.SetExtendedHeader(TID3ExtendedHeader());
    FAIL();
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "Cannot assign a TID3ExtendedHeader to a TID3ExtendedHeader");
  }
  EXPECT_THROW(h.ExtendedHeader().SetTagRestrictions(TID3TagRestrictions()), EConvertError);
}

}  // namespace
}  // namespace tagscope
