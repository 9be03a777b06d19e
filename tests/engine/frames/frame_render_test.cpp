// Frame content rendered from its fields: each kind writes back the payload its parse read,
// content built from typed values is written and read back, and what cannot be written is
// refused by the field's path. Every kind against another tag library is in the tool's tests.
#include <gtest/gtest.h>

#include <string>

#include "tagscope/engine/frame_content.h"
#include "tagscope/engine/frame_value.h"
#include "tagscope/engine/id3_tag.h"
#include "tagscope/engine/tag_edit.h"
#include "tagscope/engine/version_change.h"

namespace tagscope {
namespace {

using namespace std::string_literals;

// Payloads as common writers store them, one or more per kind.
const std::pair<const char*, std::string> kPayloads[] = {
    {"TIT2", "\0Title"s},
    {"TPE1", "\x01\xFF\xFEO\0n\0\0\0\xFF\xFET\0w\0o\0"s},
    {"TCMP", "\0001"s},
    {"TIPL", "\0producer\0Someone\0mix\0Other"s},
    {"IPLS", "\0guitar\0A"s},
    {"TXXX", "\0MusicBrainz Album Id\0abc"s},
    {"TXXX",
     "\x01\xFF\xFE"
     "d\0\0\0\xFF\xFEv\0"s},
    {"WOAR", "http://example.org"s},
    {"WFED", "\0http://feed"s},
    {"WXXX", "\0Home\0http://example.org"s},
    {"COMM", "\0engDesc\0Text"s},
    // A first value left empty, after the zero byte some writers put after the description.
    {"COMM", "\0engDesc\0\0\0x"s},
    {"TXXX", "\0d\0\0\0x"s},
    {"USLT", "\0eng\0la la"s},
    {"USER", "\0engTerms"s},
    {"APIC",
     "\0image/png\0\x03"
     "Cover\0\x89PNG"s},
    {"GEOB", "\0application/x-thing\0f.bin\0An object\0\x01\x02"s},
    {"UFID",
     "http://musicbrainz.org\0"
     "5f1c"s},
    {"PRIV", "WM/Provider\0\x00\x01\xFF"s},
    {"PCNT", "\0\0\0\x07"s},
    {"PCNT", "\x01\0\0\0\0"s},
    {"POPM", "a@b\0\xC4\0\0\0\x02"s},
    {"POPM", "a@b\0\x01"s},
    {"PCST", "\0\0\0\x01"s},
    {"RVA2", "track\0\x01\xFC\x00\x10\x7F\xFF\x02\0\0\0"s},
    {"RVAD", "\x01\x10\0\x10\0\x20\0\0\0\0"s},
    {"EQU2", "\x01id\0\x01\0\xFF\x00"s},
    {"EQUA", "\x10\x80\x64\0\x05\0\x32\0\x06"s},
    {"RVRB", "\0\x01\0\x02\x03\x04\x05\x06\x07\x08\x09\x0A"s},
    {"RBUF", "\0\x10\0\x01\0\0\0\x20"s},
    {"SEEK", "\0\0\x10\0"s},
    {"LINK", "TIT2http://x\0data"s},
    {"SIGN", "\x05sig"s},
    {"ENCR", "owner\0\x80key"s},
    {"AENC", "owner\0\0\x01\0\x02key"s},
    {"OWNE",
     "\0$1.00\x00"
     "20200101Seller"s},
    {"COMR",
     "\0EUR1\0"
     "20301231http://x\0\x01Seller\0Desc\0image/png\0logo"s},
    {"MCDI", "\x01\x02\x03"s},
    {"XABC", "anything\0"s},
    {"SYLT", "\0engd\x02\x01\0la\0\0\0\x03\xE8"s},
    {"SYTC", "\x02\xFF\x01\0\0\0\x10\x78\0\0\0\x20"s},
    {"ETCO", "\x02\x03\0\0\x05\xDC"s},
    {"POSS", "\x02\0\0\x7A\x69"s},
    {"MLLT", "\0\x01\0\x01\xA1\0\0\x1A\x08\x08\x01\x02"s},
    {"ASPI", "\0\0\0\x0A\0\0\x03\xE8\0\x02\x10\0\x01\xFF\xFF"s},
    {"CTOC",
     "toc\0\x03\x01"
     "ch1\0TIT2\0\0\0\x03\0\0\0On"s},
};

TEST(FrameRenderTest, EachKindWritesBackThePayloadItsParseRead) {
  for (const uint8_t version : {3, 4}) {
    for (const auto& [id, payload] : kPayloads) {
      const TFrameValue value = DecodeFrameContent(id, payload, version);
      EXPECT_TRUE(value.Problems.empty()) << id << " " << value.Problems[0].What;
      EXPECT_EQ(RenderFrameContent(id, value, version), payload) << id << " v" << int(version);
    }
  }
}

// A text's terminator ends it; it starts no empty value, however many there are. An empty
// value between two others is one.
TEST(FrameRenderTest, TerminatorsAtTheEndOfATextAreNoValues) {
  const auto texts = [](const char* id, const std::string& payload) {
    return DecodeFrameContent(id, payload, 3).Find("text")->Texts;
  };
  using TTexts = std::vector<std::string>;
  EXPECT_EQ(texts("COMM", "\0eng\0001\0\0"s), TTexts{"1"});
  EXPECT_EQ(texts("TIT2", "\0001\0\0\0"s), TTexts{"1"});
  EXPECT_EQ(texts("TIT2",
                  "\x01\xFF\xFE"
                  "1\0\0\0\0\0"s),
            TTexts{"1"});
  EXPECT_EQ(texts("TIT2", "\0a\0\0b"s), (TTexts{"a", "", "b"}));
  EXPECT_EQ(texts("TIT2", "\0\0"s), TTexts{""});
  EXPECT_EQ(texts("TXXX", "\0d\0v\0"s), TTexts{"v"});
}

// The UTF-8 user text whose description is followed by two zero bytes keeps its value when the
// tag becomes one of version 3, and reads the same in the typed getter and in the kinds' parse.
TEST(FrameRenderTest, AVersionChangeRebuildsEachFrameByItsKind) {
  TID3Tag tag;
  tag.Header().SetVersionNumber(4);
  for (const auto& [id, payload] : {std::pair{"TXXX",
                                              "\x03"
                                              "d\0\0v"s},
                                    std::pair{"COMM",
                                              "\x03"
                                              "eng\0\0caf\xC3\xA9"s},
                                    std::pair{"TPE1", "\x03One\0\xE2\x82\xAC"s}}) {
    TID3Frames_Item& item = tag.Frames().Add();
    item.SetName(id);
    item.Data().SetBytes(payload);
  }
  ChangeTagVersion(tag, 3);
  TID3UserText text;
  ASSERT_TRUE(tag.GetUserText(0, text));
  EXPECT_EQ(text.DescriptionUtf8, "d");
  EXPECT_EQ(text.TextUtf8, "v");
  EXPECT_EQ(tag.Frames().Items(0).Payload(), "\0d\0v"s);
  TID3Comment comment;
  ASSERT_TRUE(tag.GetComment(0, comment));
  EXPECT_EQ(comment.TextUtf8, "caf\xC3\xA9");
  EXPECT_EQ(tag.Frames().Items(1).Payload()[0], '\0');  // fits ISO-8859-1
  const TFrameValue people = DecodeFrameContent(tag.Frames().Items(2), 3);
  EXPECT_EQ(people.Find("encoding")->Number, 1);
  // ID3v2.3 has no lists: the values are joined.
  EXPECT_EQ(people.Find("text")->Texts, (std::vector<std::string>{"One/\xE2\x82\xAC"}));
}

// Content built from typed values, in a tag of each version, reads back as built.
TEST(FrameRenderTest, FramesBuiltFromTypedValuesReadBackAsBuilt) {
  for (const uint8_t version : {3, 4}) {
    TID3Tag tag;
    tag.Header().SetVersionNumber(version);
    TFrameValue object;
    object.Kind = "object";
    object.AddText("mimeType", "text/plain")
        .AddText("fileName", "\xE2\x82\xAC.txt")
        .AddText("description", "")
        .AddBytes("data", "\0\1"s);
    AddFrame(tag, "GEOB", object);
    SetUniqueFileID(tag, "owner", "id-1");
    SetPlayCount(tag, 1ull << 40);
    SetVolume(tag, "track", -3 * 512);
    ASSERT_EQ(tag.Frames().Count(), 4);
    const TFrameValue geob = DecodeFrameContent(tag.Frames().Items(0), version);
    EXPECT_TRUE(geob.Problems.empty());
    EXPECT_EQ(geob.Find("encoding")->Number, version == 4 ? 3 : 1);
    EXPECT_EQ(geob.Find("fileName")->Text, "\xE2\x82\xAC.txt");
    EXPECT_EQ(geob.Find("data")->Bytes, "\0\1"s);
    EXPECT_EQ(tag.Frames().Items(1).Payload(), "owner\0id-1"s);
    EXPECT_EQ(tag.Frames().Items(2).Payload(), "\x01\0\0\0\0\0"s);
    EXPECT_EQ(tag.Frames().Items(3).Payload(), "track\0\x01\xFA\0\0"s);
    SetUniqueFileID(tag, "owner", "");
    EXPECT_EQ(tag.FrameCount("UFID"), 0);
  }
}

// What a frame cannot hold is refused by the path of the field, and the tag stays unchanged.
TEST(FrameRenderTest, ContentThatCannotBeWrittenIsRefusedByItsPath) {
  const auto refusal = [](const char* id, const TFrameValue& value) {
    try {
      RenderFrameContent(id, value, 4);
    } catch (const EFrameValueError& e) {
      return e.Path();
    }
    return std::string("(written)");
  };
  TFrameValue owner;
  owner.Kind = "ownerData";
  owner.AddText("owner", "\xE2\x82\xAC").AddBytes("data", "x");
  EXPECT_EQ(refusal("UFID", owner), "content.owner");  // beyond ISO-8859-1
  TFrameValue missing;
  missing.Kind = "ownerData";
  missing.AddText("owner", "o");
  EXPECT_EQ(refusal("PRIV", missing), "content.data");
  TFrameValue rating;
  rating.Kind = "popularimeter";
  rating.AddText("email", "e").AddNumber("rating", 256);
  EXPECT_EQ(refusal("POPM", rating), "content.rating");
  TFrameValue channel = DecodeFrameContent("RVA2", "t\0\x01\0\0\0"s, 4);
  channel.Fields[1].Records[0][1].Number = 40000;  // past 16 bits
  EXPECT_EQ(refusal("RVA2", channel), "content.channels[0].adjustment");
  EXPECT_EQ(refusal("APIC", owner), "kind");
  TFrameValue text;
  text.Kind = "text";
  text.AddTexts("text", {"a", "b\0c"s});
  EXPECT_EQ(refusal("TIT2", text), "content.text[1]");

  TID3Tag tag;
  tag.Header().SetVersionNumber(4);
  EXPECT_THROW(AddFrame(tag, "UFID", missing), EFrameValueError);
  EXPECT_THROW(AddFrame(tag, "ufid", owner), EConvertError);
  EXPECT_EQ(tag.Frames().Count(), 0);
}

}  // namespace
}  // namespace tagscope
