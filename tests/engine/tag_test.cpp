// The tag in memory on its own: no engine, no file.
#include <gtest/gtest.h>

#include <memory>

#include "tagscope/engine/id3_engine.h"
#include "tagscope/engine/id3_tag.h"
#include "tagscope/engine/shown_fields.h"
#include "tagscope/engine/tag_edit.h"
#include "tagscope/engine/version_change.h"
#include "tagscope/rtl/exception.h"

namespace tagscope {
namespace {

void Scramble(TID3Frames_Item&, TStream& stream) {
  auto& m = dynamic_cast<TMemoryStream&>(stream);
  std::string bytes = m.Bytes();
  for (char& c : bytes) c ^= 0x5A;
  m.SetBytes(bytes);
}

TEST(TagInMemory, EditedSerialisedAndParsedAgain) {
  TID3Tag tag;
  tag.Header().SetVersionNumber(3);
  tag.SetTitleUtf8("Sn\xC3\xB6 \xE2\x98\x83");  // UTF-16 in version 3
  tag.SetYearUtf8("2024");
  tag.AddCommentUtf8("d", "t \xE2\x9C\x93", "eng");
  SetPicture(tag, {"image/png", 3, "", "cover"}, std::string("PNG\0data", 8));
  SetUserText(tag, "key", "value");
  ChangeTagVersion(tag, 4);
  tag.Frames().FindFrame("TXXX")->SetEncryptionID(0x80);
  TMemoryStream out;
  tag.WriteFrames(out, Scramble);
  // The encrypted frame left the tag scrambled.
  EXPECT_EQ(out.Bytes().find("value"), std::string::npos);

  TID3Tag back;
  back.Header().SetVersionNumber(4);
  auto bytes = std::make_shared<const std::string>(out.Bytes());
  const TID3Frames::TParseResult result = back.ParseFrames(bytes, *bytes, Scramble);
  EXPECT_EQ(result.problem, "");
  EXPECT_EQ(result.framesEnd, bytes->size());
  EXPECT_EQ(back.TitleUtf8(), "Sn\xC3\xB6 \xE2\x98\x83");
  EXPECT_EQ(back.FrameCount("TYER"), 0);
  EXPECT_EQ(ShownYear(back), "2024");
  TID3Comment comment;
  ASSERT_TRUE(back.GetComment(0, comment));
  EXPECT_EQ(comment.TextUtf8, "t \xE2\x9C\x93");
  TID3Picture picture;
  std::string_view data;
  ASSERT_TRUE(back.GetPicture(0, picture, data));
  EXPECT_EQ(picture.DescriptionUtf8, "cover");
  EXPECT_EQ(data, std::string_view("PNG\0data", 8));
  TID3UserText text;
  ASSERT_TRUE(back.GetUserText(0, text));
  EXPECT_EQ(text.TextUtf8, "value");
}

TEST(TagInMemory, FramesOutliveTheEngineNamedAsTheirOwner) {
  std::unique_ptr<TID3Frames> frames;
  {
    TID3Engine engine;
    engine.Header().SetVersionNumber(3);
    engine.OnFrameEncrypt = [](TID3Frames_Item&, TStream&) { throw Exception("engine reached"); };
    frames = std::make_unique<TID3Frames>(&engine);
    TID3Frames_Item& item = frames->Add();
    item.SetName("TIT2");
    item.SetAsText("x");
    item.SetEncryptionID(1);
  }
  // Written as ID3v2.4 frames without the engine's version or handler, and read back as such.
  TMemoryStream out;
  frames->WriteFrames(out);
  out.WriteString(std::string(8, '\0'));
  out.SetPosition(0);
  TID3Frames back;
  back.ReadFrames(out);
  ASSERT_EQ(back.Count(), 1);
  EXPECT_TRUE(back.Items(0).Encrypted());
  EXPECT_EQ(back.Items(0).AsText(), "x");
  EXPECT_EQ(out.Position(), out.Size() - 8);
}

}  // namespace
}  // namespace tagscope
