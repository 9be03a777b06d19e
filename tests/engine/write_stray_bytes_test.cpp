// What the read calls padding is zero bytes, and nothing else is dropped as if it were: bytes
// after the last frame that are not zero, frames behind an extended header laid out wrongly,
// and a frame whose flags contradict its size.
#include <gtest/gtest.h>

#include "tagscope/engine/id3_engine.h"
#include "tagscope/rtl/exception.h"
#include "tests/engine/tag_builder.h"
#include "tests/engine/write_test_support.h"

namespace tagscope {
namespace {

using namespace test;

const std::string kAudio = PatternBytes(5000, 3);

TEST(StrayBytes, BytesAfterTheLastFrameThatAreNotZeroAreNoPadding) {
  ScratchFolder dir;
  const std::string frames = FrameV4("TIT2", Text("Song"));
  // A frame with a lower-case ID, which readers take for the end of the frames.
  const std::string stray = "tXXX" + Bytes({0, 0, 0, 2, 0, 0}) + "ab";
  const std::string original = Tag(4, 0, frames + stray, 30) + kAudio;
  const std::string name = dir.Put("a.mp3", original);
  TestEngine e;
  e.Open(name);
  const TTagReadReport& r = e.Status().readReport;
  EXPECT_FALSE(r.complete);
  EXPECT_EQ(r.problem, "12 bytes at byte " + std::to_string(10 + frames.size()) +
                           " after the last frame are not padding");
  e.SetArtist("X");
  EXPECT_THROW(e.WriteTag(), EWriteError);
  EXPECT_EQ(ReadFile(name), original);
  e.Options().forceWrite = true;
  e.WriteTag();
  EXPECT_EQ(ReadFile(name).substr(e.Status().place.size), kAudio);
}

TEST(StrayBytes, FramesBehindAnExtendedHeaderLaidOutWronglyAreFoundAndKept) {
  ScratchFolder dir;
  // A version 4 extended header whose size says 12 bytes, its flags 6: where its size ends
  // there is no frame, where its flags end there is.
  const std::string extended = SyncSafe4(12) + Bytes({1, 0});
  const std::string frames = FrameV4("TIT2", Text("Title")) + FrameV4("TALB", Text("Album"));
  const std::string name = dir.Put("a.mp3", Tag(4, 0x40, extended + frames, 100) + kAudio);
  {
    TestEngine e;
    e.Open(name);
    EXPECT_TRUE(e.Status().readReport.complete) << e.Status().readReport.problem;
    EXPECT_NE(e.Status().readReport.framesFoundAt.find("byte 16"), std::string::npos)
        << e.Status().readReport.framesFoundAt;
    e.SetArtist("X");
    e.WriteTag();
  }
  TestEngine r;
  r.Open(name, true);
  EXPECT_EQ(r.Title(), "Title");
  EXPECT_EQ(r.Album(), "Album");
  EXPECT_EQ(r.Artist(), "X");
}

TEST(StrayBytes, AFrameWhoseFlagsContradictItsSizeIsKeptAsItWasAndReadingGoesOn) {
  ScratchFolder dir;
  // A one-byte TENC that claims a data length indicator (four bytes it cannot hold).
  const std::string damaged = "TENC" + SyncSafe4(1) + Bytes({0x20, 0x01}) + "x";
  const std::string name =
      dir.Put("a.mp3", Tag(4, 0,
                           FrameV4("TIT2", Text("Title")) + damaged +
                               FrameV4("TALB", Text("Album")) + FrameV4("TRCK", Text("7")),
                           200) +
                           kAudio);
  {
    TestEngine e;
    e.Open(name);
    EXPECT_TRUE(e.Status().readReport.complete) << e.Status().readReport.problem;
    EXPECT_EQ(e.Frames().Count(), 4);
    EXPECT_EQ(e.Album(), "Album");
    EXPECT_EQ(e.Track(), "7");
    e.SetArtist("X");
    e.WriteTag();
  }
  EXPECT_NE(ReadFile(name).find(damaged), std::string::npos);
  TestEngine r;
  r.Open(name, true);
  EXPECT_EQ(r.Frames().Count(), 5);
  EXPECT_EQ(r.Artist(), "X");
}

}  // namespace
}  // namespace tagscope
