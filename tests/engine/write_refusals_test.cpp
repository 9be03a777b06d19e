// Writes the engine refuses before it changes anything, and the erase that cuts the tag and the
// trailers behind the audio in one change.
#include <gtest/gtest.h>

#include "tagscope/engine/id3_engine.h"
#include "tagscope/rtl/exception.h"
#include "tests/engine/tag_builder.h"
#include "tests/engine/write_test_support.h"

namespace tagscope {
namespace {

using namespace test;
using namespace std::string_literals;

const std::string kAudio = PatternBytes(4000, 1);

std::string Trailer(const std::string& title) {
  std::string t(128, '\0');
  t.replace(0, 3, "TAG");
  t.replace(3, title.size(), title);
  return t;
}

TEST(WriteRefusals, AFileThatIsNotMp3IsRefusedUnlessForcedAlsoBehindATag) {
  ScratchFolder dir;
  const std::string flac = "fLaC" + std::string(400, '\x11');
  const std::string name = dir.Put("a.flac", flac);
  TestEngine e;
  e.Open(name);
  EXPECT_EQ(e.ForeignContent(), "a FLAC file");
  e.SetTitle("Song");
  try {
    e.WriteTag();
    FAIL() << "written";
  } catch (const EWriteRefused& error) {
    EXPECT_NE(std::string(error.what()).find("it is a FLAC file, not MP3"), std::string::npos)
        << error.what();
  }
  EXPECT_THROW(e.SaveID3V1(), EWriteRefused);
  EXPECT_EQ(ReadFile(name), flac);
  e.Options().forceWrite = true;
  e.WriteTag();
  e.SetActive(false);
  // The content is looked for past the tag now in front of it.
  TestEngine again;
  again.Open(name);
  EXPECT_EQ(again.ForeignContent(), "a FLAC file");
  EXPECT_THROW(again.EraseTag(), EWriteRefused);
  again.Options().forceWrite = true;
  again.EraseTag();
  EXPECT_EQ(ReadFile(name), flac);
}

TEST(WriteRefusals, OnlyPlainSignaturesCountAsAnotherKind) {
  ScratchFolder dir;
  const std::pair<std::string, std::string> kinds[] = {
      {"\0\0\0\x20"
       "ftypM4A "s,
       "an MP4 file"},
      {"RIFF\x24\0\0\0WAVEfmt "s, "a WAV file"},
      {"FORM\0\0\0\x20"
       "AIFFCOMM"s,
       "an AIFF file"},
      {"\xFF\xD8\xFF\xE0", "a JPEG picture"},
      {"\x89PNG\r\n\x1A\n", "a PNG picture"},
      {"%PDF-1.4", "a PDF document"},
      {"PK\x03\x04", "a ZIP archive"},
      {"\xFF\xF1\x50\x80", "an AAC file"},
      // MPEG audio, junk and nothing at all are no other kind.
      {"\xFF\xFB\x90\x64", ""},
      {"RIFX", ""},
      {"", ""}};
  for (const auto& [head, kind] : kinds) {
    TestEngine e;
    e.Open(dir.Put("a.mp3", Tag(4, 0, FrameV4("TIT2", Text("t"))) + head + "0123456789"));
    EXPECT_EQ(e.ForeignContent(), kind) << head;
  }
}

TEST(WriteRefusals, NoWriteAddsAFramePastTheLimitThatReadsStopAt) {
  ScratchFolder dir;
  std::string frames;
  for (int i = 0; i < MaxFrameCount; ++i) frames += FrameV4("PRIV", "o\0"s + std::to_string(i));
  const std::string original = Tag(4, 0, frames) + kAudio;
  const std::string name = dir.Put("a.mp3", original);
  TestEngine e;
  e.Open(name);
  ASSERT_EQ(e.Frames().Count(), MaxFrameCount);
  ASSERT_TRUE(e.Status().readReport.complete);
  e.SetTitle("one more");
  for (const bool force : {false, true}) {
    e.Options().forceWrite = force;
    try {
      e.WriteTag();
      FAIL() << "written";
    } catch (const EWriteError& error) {
      EXPECT_NE(std::string(error.what()).find("50001 frames"), std::string::npos) << error.what();
    }
    EXPECT_EQ(ReadFile(name), original);
  }
}

TEST(WriteRefusals, EraseWithTrailersCutsTagAndEveryRunInOneRewrite) {
  ScratchFolder dir;
  const std::string ape = "APETAGEX" + std::string(56, 'a');
  const std::string tag = Tag(4, 0, FrameV4("TIT2", Text("Song")), 100);
  const std::string name = dir.Put("a.mp3", tag + kAudio + ape + Trailer("Old"));
  TestEngine e;
  e.Open(name);
  const TTrailerTags trailers = e.TrailerTags();
  ASSERT_TRUE(trailers.ID3v1);
  const std::optional<TFileRange> v1 = trailers.ID3v1Place;
  const int64_t apeAt = static_cast<int64_t>(tag.size() + kAudio.size());
  EXPECT_EQ(*v1, (TFileRange{apeAt + 64, 128}));
  // A run that reaches into the tag, or past the file's end, is refused before anything changes.
  for (const TFileRange& wrong : {TFileRange{5, 10}, TFileRange{apeAt, 1000}}) {
    EXPECT_THROW(e.EraseTag({wrong}), EWriteError);
    EXPECT_EQ(e.Status().place.size, static_cast<int64_t>(tag.size()));
  }
  int erases = 0;
  e.OnEraseTag = [&](TID3Engine&) { ++erases; };
  e.EraseTag({*v1, {apeAt, 64}});
  EXPECT_EQ(ReadFile(name), kAudio);
  EXPECT_EQ(erases, 1);
  EXPECT_EQ(e.Status().place.size, 0);
  // Without a tag, the runs at the file's end are cut off it.
  const std::string untagged = dir.Put("b.mp3", kAudio + Trailer("Old"));
  TestEngine b;
  b.Open(untagged);
  b.EraseTag({b.TrailerTags().ID3v1Place});
  EXPECT_EQ(ReadFile(untagged), kAudio);
}

}  // namespace
}  // namespace tagscope
