// Writing and erasing the tag: where it goes, what it looks like, what the engine records.
#include <gtest/gtest.h>
#include <zlib.h>

#include <filesystem>

#include "engine/file/undo_stream.h"
#include "engine/tag/unsync.h"
#include "engine/tag_writer.h"
#include "tagscope/engine/id3_engine.h"
#include "tagscope/rtl/exception.h"
#include "tests/engine/tag_builder.h"
#include "tests/engine/write_test_support.h"

namespace tagscope {
namespace {

using namespace test;

const std::string kAudio = PatternBytes(3000, 5);

uint32_t Crc32(const std::string& bytes) {
  return static_cast<uint32_t>(
      crc32(0L, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size())));
}

// Events seen by an engine.
struct EventLog {
  explicit EventLog(TID3Engine& e) {
    e.OnWriteTag = [this](TID3Engine&) { ++writes; };
    e.OnEraseTag = [this](TID3Engine&) { ++erases; };
  }
  int writes = 0, erases = 0;
};

// A fresh engine's view of a file.
struct Reread {
  explicit Reread(const std::string& name, bool fullSeek = false) {
    engine.SetFullID3TagSeek(fullSeek);
    engine.Open(name, true);
  }
  TestEngine engine;
};

std::string V4Frames() {
  return FrameV4("TIT2", Text("Song")) + FrameV4("TPE1", Text("Band"), 0x40, 0) +
         FrameV4("PRIV", PatternBytes(200), 0x20, 0);
}

std::string V3Frames() {
  return FrameV3("TIT2", Text("Song")) + FrameV3("TPE1", Text("Band"), 0x80, 0) +
         FrameV3("PRIV", PatternBytes(200), 0x40, 0);
}

TEST(WriteTag, AFileWithoutTagGetsOneInFront) {
  ScratchFolder dir;
  const std::string name = dir.Put("a.mp3", kAudio);
  TestEngine e;
  e.Open(name);
  EventLog log(e);
  e.SetTitle("Song");
  e.WriteTag();
  EXPECT_EQ(ReadFile(name), Tag(4, 0, FrameV4("TIT2", Text("Song"))) + kAudio);
  EXPECT_EQ(log.writes, 1);
  EXPECT_EQ(e.Status().place.offset, 0);
  EXPECT_EQ(e.Status().place.size, 10 + 15);
  EXPECT_EQ(e.Header().Size(), 15);
  EXPECT_EQ(dir.Files(), std::vector<std::string>{"a.mp3"});
}

TEST(WriteTag, RewritingUnchangedFramesKeepsEveryByte) {
  ScratchFolder dir;
  for (const std::string& original :
       {Tag(4, 0, V4Frames(), 100) + kAudio, Tag(3, 0, V3Frames(), 100) + kAudio}) {
    const std::string name = dir.Put("a.mp3", original);
    TestEngine e;
    e.Open(name);
    e.WriteTag();
    EXPECT_EQ(ReadFile(name), original);
    EXPECT_EQ(e.Status().place.offset, 0);
    EXPECT_EQ(e.Status().place.size, static_cast<int64_t>(original.size() - kAudio.size()));
    EXPECT_EQ(e.Padding(), 100);
  }
}

TEST(WriteTag, AGrownTagMovesTheAudio) {
  ScratchFolder dir;
  const std::string oldTag = Tag(4, 0, V4Frames(), 10);
  const std::string name = dir.Put("a.mp3", oldTag + kAudio);
  TestEngine e;
  e.Open(name);
  e.SetTitle(std::string(500, 'x'));
  e.WriteTag();
  const std::string bytes = ReadFile(name);
  EXPECT_EQ(e.Status().place.offset, 0);
  EXPECT_EQ(bytes.size(), kAudio.size() + e.Status().place.size);
  // The tag takes room for the next edits with it.
  EXPECT_EQ(e.Status().place.size - static_cast<int64_t>(oldTag.size()), 500 - 4 + 1024 - 10);
  EXPECT_EQ(bytes.substr(e.Status().place.size), kAudio);
  Reread r(name);
  EXPECT_EQ(r.engine.Title(), std::string(500, 'x'));
  EXPECT_EQ(r.engine.Padding(), 1024);
  EXPECT_EQ(dir.Files(), std::vector<std::string>{"a.mp3"});
}

TEST(WriteTag, AGrownTagFoundBehindOtherDataMovesToTheFront) {
  ScratchFolder dir;
  const std::string before = std::string(5000, 'p');
  const std::string name = dir.Put("a.mp3", before + Tag(4, 0, V4Frames()) + kAudio);
  TestEngine e;
  e.SetFullID3TagSeek(true);
  e.Open(name);
  ASSERT_EQ(e.Status().place.offset, 5000);
  e.SetArtist("A much longer band name than before");
  e.WriteTag();
  const std::string bytes = ReadFile(name);
  EXPECT_EQ(e.Status().place.offset, 0);
  EXPECT_EQ(bytes.substr(e.Status().place.size), before + kAudio);
}

// The fit is decided on the bytes the tags take, footers included.
TEST(WriteTag, ASmallerTagFillsTheOldExtentWithPadding) {
  ScratchFolder dir;
  const std::string before = std::string(5000, 'p');
  const std::string oldTag = Tag(4, 0, FrameV4("TIT2", Text(std::string(300, 't'))), 7);
  const std::string name = dir.Put("a.mp3", before + oldTag + kAudio);
  TestEngine e;
  e.SetFullID3TagSeek(true);
  e.Open(name);
  e.SetTitle("x");
  e.WriteTag();
  const std::string bytes = ReadFile(name);
  ASSERT_EQ(bytes.size(), before.size() + oldTag.size() + kAudio.size());
  EXPECT_EQ(bytes.substr(0, 5000), before);
  EXPECT_EQ(bytes.substr(5000 + oldTag.size()), kAudio);
  const int64_t frames = 10 + 2;
  EXPECT_EQ(e.Padding(), static_cast<int64_t>(oldTag.size()) - 10 - frames);
  EXPECT_EQ(bytes.substr(5000 + 10 + frames, e.Padding()), std::string(e.Padding(), '\0'));
  EXPECT_EQ(e.Status().place.offset, 5000);
  EXPECT_EQ(e.Status().place.size, static_cast<int64_t>(oldTag.size()));
  Reread r(name, true);
  EXPECT_EQ(r.engine.Padding(), e.Padding());
  EXPECT_EQ(r.engine.Header().Size(), e.Header().Size());
}

TEST(WriteTag, AnOldFooterIsReplacedByPaddingInPlace) {
  ScratchFolder dir;
  const std::string frames = FrameV4("TIT2", Text("Song"));
  const std::string body = Tag(4, 0x10, frames);
  const std::string oldTag = body + "3DI" + body.substr(3, 7);
  const std::string name = dir.Put("a.mp3", oldTag + kAudio);
  TestEngine e;
  e.Open(name);
  ASSERT_EQ(e.Status().place.size, static_cast<int64_t>(oldTag.size()));
  e.Header().SetFooterPresent(false);
  e.WriteTag();
  EXPECT_EQ(ReadFile(name), Tag(4, 0, frames, 10) + kAudio);
  EXPECT_EQ(e.Padding(), 10);
}

TEST(WriteTag, ATagThatGainsAFooterNeverOverwritesAudio) {
  ScratchFolder dir;
  const std::string frames = FrameV4("TIT2", Text("Song"));
  const std::string name = dir.Put("a.mp3", Tag(4, 0, frames) + kAudio);
  TestEngine e;
  e.Open(name);
  e.Header().SetFooterPresent(true);
  e.WriteTag();
  const std::string tag = Tag(4, 0x10, frames);
  EXPECT_EQ(ReadFile(name), tag + "3DI" + tag.substr(3, 7) + kAudio);
  EXPECT_EQ(e.Status().place.size, static_cast<int64_t>(tag.size()) + 10);
}

TEST(WriteTag, AFooterRepeatsTheHeaderAndReplacesThePadding) {
  ScratchFolder dir;
  const std::string name = dir.Put("a.mp3", Tag(4, 0, V4Frames(), 300) + kAudio);
  TestEngine e;
  e.Open(name);
  e.Header().SetFooterPresent(true);
  e.SetTitle("A longer title");
  e.WriteTag();
  const std::string bytes = ReadFile(name);
  const int64_t length = e.Status().place.size;
  const std::string header = bytes.substr(0, 10);
  EXPECT_EQ(bytes.substr(length - 10, 10), "3DI" + header.substr(3));
  EXPECT_EQ(static_cast<uint8_t>(header[5]), 0x10);
  EXPECT_EQ(e.Header().Size(), length - 20);
  EXPECT_EQ(e.Padding(), 0);
  EXPECT_EQ(bytes.substr(length), kAudio);
  Reread r(name);
  EXPECT_TRUE(r.engine.Header().FooterPresent());
  EXPECT_EQ(r.engine.Status().place.size, length);
  EXPECT_EQ(r.engine.Title(), "A longer title");
}

TEST(WriteTag, AShorterTagWithAFooterRewritesTheFile) {
  ScratchFolder dir;
  const std::string body = Tag(4, 0x10, FrameV4("TIT2", Text(std::string(200, 't'))));
  const std::string oldTag = body + "3DI" + body.substr(3, 7);
  const std::string name = dir.Put("a.mp3", oldTag + kAudio);
  TestEngine e;
  e.Open(name);
  e.SetTitle("x");
  e.WriteTag();
  const std::string tag = Tag(4, 0x10, FrameV4("TIT2", Text("x")));
  EXPECT_EQ(ReadFile(name), tag + "3DI" + tag.substr(3, 7) + kAudio);
}

TEST(WriteTag, AfterAnID3v1ImportTheTagIsAnUpdateWith250BytesOfPadding) {
  ScratchFolder dir;
  std::string trailer(128, '\0');
  trailer.replace(0, 3, "TAG");
  trailer.replace(3, 4, "Song");
  trailer[127] = 17;
  const std::string name = dir.Put("a.mp3", kAudio + trailer);
  TestEngine e;
  e.Open(name);
  e.SetWriteID3V1(true);
  e.WriteTag();
  const std::string bytes = ReadFile(name);
  const int64_t length = e.Status().place.size;
  EXPECT_EQ(bytes.substr(0, 6), "ID3" + Bytes({4, 0, 0x40}));
  // The update flag's data is its length byte, 0.
  EXPECT_EQ(bytes.substr(10, 7), Bytes({0, 0, 0, 7, 1, 0x40, 0}));
  EXPECT_EQ(bytes.substr(length - 250, 250), std::string(250, '\0'));
  EXPECT_EQ(e.Padding(), 250);
  // The old trailer is overwritten by the new one, not followed by it.
  ASSERT_EQ(bytes.size(), length + kAudio.size() + 128);
  EXPECT_EQ(bytes.substr(length, kAudio.size()), kAudio);
  EXPECT_EQ(bytes.substr(length + kAudio.size(), 7), "TAGSong");
  Reread r(name);
  EXPECT_TRUE(r.engine.Header().ExtendedHeader().TagIsAnUpdate());
  EXPECT_EQ(r.engine.Title(), "Song");
  EXPECT_EQ(r.engine.GetFrameText("TCON"), "(17)");
}

TEST(WriteTag, TheTrailerNeverOverwritesTheTagOfAFileThatEndsInIt) {
  // A tag with a footer and no audio whose last 128 bytes start with "TAG".
  ScratchFolder dir;
  const std::string payload = "abcTAG" + std::string(115, 'z');
  const std::string body = Tag(4, 0x10, FrameV4("PRIV", payload));
  const std::string tag = body + "3DI" + body.substr(3, 7);
  ASSERT_EQ(tag.substr(tag.size() - 128, 3), "TAG");
  const std::string name = dir.Put("a.mp3", tag);
  TestEngine e;
  e.Open(name);
  e.SetWriteID3V1(true);
  e.WriteTag();
  const std::string bytes = ReadFile(name);
  ASSERT_EQ(bytes.size(), tag.size() + 128);
  EXPECT_EQ(bytes.substr(0, tag.size()), tag);
}

TEST(WriteTag, Version3UnsynchronisesTheWholeTagWithItsOwnExtendedHeader) {
  ScratchFolder dir;
  const std::string name = dir.Put("a.mp3", kAudio);
  TestEngine e;
  e.Open(name);
  e.Header().SetVersionNumber(3);
  e.Header().SetUnsynchronisation(true);
  e.Header().SetExtendedHeaderPresent(true);
  e.Header().ExtendedHeader().SetCRCData(0x12345678);
  e.SetPadding(33);
  auto& frame = e.Frames().Add();
  frame.SetName("PRIV");
  frame.Data().SetBytes(PatternBytes(300));
  e.WriteTag();
  const std::string bytes = ReadFile(name);
  const std::string stored = bytes.substr(10, e.Status().place.size - 10);
  for (size_t i = 0; i + 1 < stored.size(); ++i)
    ASSERT_FALSE(static_cast<uint8_t>(stored[i]) == 0xFF &&
                 static_cast<uint8_t>(stored[i + 1]) >= 0xE0)
        << "false sync at " << i;
  // The CRC is the frames' own (before unsynchronisation), not the one set.
  const std::string frames = FrameV3("PRIV", PatternBytes(300));
  const uint32_t crc = Crc32(frames);
  EXPECT_EQ(UndoUnsynchronisation(stored).substr(0, 14),
            Bytes({0, 0, 0, 10, 0x80, 0, 0, 0, 0, 33, int(crc >> 24), int(crc >> 16) & 0xFF,
                   int(crc >> 8) & 0xFF, int(crc) & 0xFF}));
  EXPECT_EQ(bytes.substr(e.Status().place.size), kAudio);
  Reread r(name);
  EXPECT_TRUE(r.engine.Header().Unsynchronisation());
  EXPECT_EQ(r.engine.Header().ExtendedHeader().CRCData(), crc);
  EXPECT_EQ(r.engine.Padding(), 33);
  ASSERT_EQ(r.engine.Frames().Count(), 1);
  EXPECT_EQ(r.engine.Frames().Items(0).Data().Bytes(), PatternBytes(300));
}

TEST(WriteTag, Version4KeepsItsFramesAsTheyAreUnderTheHeaderFlag) {
  ScratchFolder dir;
  const std::string name = dir.Put("a.mp3", kAudio);
  TestEngine e;
  e.Open(name);
  e.Header().SetUnsynchronisation(true);
  auto& frame = e.Frames().Add();
  frame.SetName("PRIV");
  frame.Data().SetBytes(PatternBytes(40));
  e.WriteTag();
  EXPECT_EQ(ReadFile(name), Tag(4, 0x80, FrameV4("PRIV", PatternBytes(40))) + kAudio);
}

TEST(WriteTag, OnlyVersions2To4AreWritten) {
  // Version 2 is written as version 3; versions 0 and 1 are no standard's.
  ScratchFolder dir;
  const std::string original = Tag(1, 0, FrameV3("TIT2", Text("Song"))) + kAudio;
  const std::string name = dir.Put("a.mp3", original);
  TestEngine e;
  e.Open(name);
  EventLog log(e);
  e.SetTitle("New");
  try {
    e.WriteTag();
    FAIL() << "a version 1 tag was written";
  } catch (const EWriteError& error) {
    EXPECT_NE(std::string(error.what()).find("ID3v2.1 tags cannot be written"), std::string::npos);
    EXPECT_NE(std::string(error.what()).find(name), std::string::npos);
  }
  EXPECT_EQ(ReadFile(name), original);
  EXPECT_EQ(log.writes, 0);
}

TEST(WriteTag, AFrameWithoutAValidIDIsRefusedBeforeTheFileIsTouched) {
  ScratchFolder dir;
  const std::string original = Tag(4, 0, V4Frames()) + kAudio;
  const std::string name = dir.Put("a.mp3", original);
  TestEngine e;
  e.Open(name);
  e.Frames().Add().Data().SetBytes("no ID");
  e.SetTitle(std::string(400, 'x'));
  EXPECT_THROW(e.WriteTag(), EWriteError);
  EXPECT_EQ(ReadFile(name), original);
}

TEST(WriteTag, AnOversizedTagIsRefusedBeforeTheFileIsTouched) {
  ScratchFolder dir;
  const std::string original = Tag(4, 0, V4Frames()) + kAudio;
  const std::string name = dir.Put("a.mp3", original);
  TestEngine e;
  e.Open(name);
  e.SetPadding(0x0FFFFFFF);
  EXPECT_THROW(e.WriteTag(), EWriteError);
  EXPECT_EQ(ReadFile(name), original);
  EXPECT_EQ(e.Status().place.size, static_cast<int64_t>(original.size() - kAudio.size()));
  EXPECT_EQ(dir.Files(), std::vector<std::string>{"a.mp3"});
}

TEST(EraseTag, CutsTheFirst2048BytesAndRemembersThatNoTagIsLeft) {
  ScratchFolder dir;
  const std::string frames = FrameV4("TIT2", Text("Song"));
  const std::string tag = Tag(4, 0x20, frames, 2048 - 10 - frames.size());
  ASSERT_EQ(tag.size(), 2048u);
  const std::string name = dir.Put("a.mp3", tag + kAudio);
  TestEngine e;
  e.Open(name);
  EventLog log(e);
  e.EraseTag();
  EXPECT_EQ(ReadFile(name), kAudio);
  EXPECT_EQ(log.erases, 1);
  EXPECT_EQ(e.Status().place.offset, 0);
  EXPECT_EQ(e.Status().place.size, 0);
  EXPECT_EQ(e.Header().Size(), -1);
  EXPECT_TRUE(e.Header().Experimental());
  EXPECT_EQ(e.Title(), "Song");

  // Nothing is left to cut; a following write puts the kept tag in front again.
  e.EraseTag();
  EXPECT_EQ(ReadFile(name), kAudio);
  EXPECT_EQ(log.erases, 2);
  e.WriteTag();
  EXPECT_EQ(ReadFile(name), tag + kAudio);
  EXPECT_EQ(dir.Files(), std::vector<std::string>{"a.mp3"});
}

TEST(EraseTag, KeepsWhatStandsBeforeATagFoundInsideTheFile) {
  ScratchFolder dir;
  const std::string before = std::string(5000, 'p');
  const std::string name = dir.Put("a.mp3", before + Tag(3, 0, V3Frames(), 20) + kAudio);
  TestEngine e;
  e.SetFullID3TagSeek(true);
  e.Open(name);
  e.EraseTag();
  EXPECT_EQ(ReadFile(name), before + kAudio);
}

TEST(EraseTag, AFileThatIsOnlyATagBecomesEmpty) {
  ScratchFolder dir;
  const std::string name = dir.Put("a.mp3", Tag(4, 0, V4Frames(), 50));
  TestEngine e;
  e.Open(name);
  e.EraseTag();
  EXPECT_EQ(ReadFile(name), "");
  EXPECT_TRUE(e.Active());
}

TEST(EraseTag, WithoutATagSizeNothingIsCutButTheEventFires) {
  ScratchFolder dir;
  for (const std::string& original : {TagHeader(4, 0, 0) + kAudio, kAudio}) {
    const std::string name = dir.Put("a.mp3", original);
    TestEngine e;
    e.Open(name);
    EventLog log(e);
    e.EraseTag();
    EXPECT_EQ(ReadFile(name), original);
    EXPECT_EQ(log.erases, 1);
  }
}

TEST(WriteAndErase, InactiveEnginesDoNothing) {
  ScratchFolder dir;
  TestEngine e;
  EventLog log(e);
  e.SetFileName(dir.Path("missing.mp3"));
  e.SetActive(true);
  ASSERT_FALSE(e.Active());
  e.WriteTag();
  e.EraseTag();
  EXPECT_EQ(log.writes + log.erases, 0);
  EXPECT_TRUE(dir.Files().empty());
}

TEST(WriteAndErase, ReadOnlyEnginesRefuseBeforeWritingAnything) {
  ScratchFolder dir;
  const std::string original = Tag(4, 0, V4Frames()) + kAudio;
  const std::string name = dir.Put("a.mp3", original);
  TestEngine e;
  e.Open(name, true);
  EventLog log(e);
  e.SetTitle(std::string(400, 'x'));
  for (auto operation :
       {+[](TID3Engine& x) { x.WriteTag(); }, +[](TID3Engine& x) { x.EraseTag(); }}) {
    try {
      operation(e);
      FAIL() << "a read-only engine changed its file";
    } catch (const EWriteError& error) {
      EXPECT_NE(std::string(error.what()).find(SReadOnlyFile), std::string::npos);
      EXPECT_NE(std::string(error.what()).find(name), std::string::npos);
    }
  }
  EXPECT_EQ(log.writes + log.erases, 0);
  EXPECT_EQ(ReadFile(name), original);
  EXPECT_EQ(dir.Files(), std::vector<std::string>{"a.mp3"});
}

TEST(WriteAndErase, TheFileKeepsItsLinkAndPermissions) {
  namespace fs = std::filesystem;
  ScratchFolder dir;
  const std::string target = dir.Put("a.mp3", Tag(4, 0, V4Frames()) + kAudio);
  const fs::perms mode = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
  fs::permissions(target, mode);
  const fs::perms before = fs::status(target).permissions();
  const std::string link = dir.Path("link.mp3");
  std::error_code error;
  fs::create_symlink(target, link, error);
  TestEngine e;
  e.Open(error ? target : link);
  e.SetTitle(std::string(300, 'x'));
  e.WriteTag();
  e.EraseTag();
  EXPECT_EQ(ReadFile(target), kAudio);
  EXPECT_EQ(fs::status(target).permissions(), before);
  if (!error) {
    EXPECT_TRUE(fs::is_symlink(link));
  }
}

TEST(UndoStream, RollbackRestoresOverlappingWritesAndSizeChanges) {
  TMemoryStream file("0123456789");
  TUndoStream journal(file);
  journal.SetPosition(8);
  journal.WriteString("abcdef");  // past the end
  journal.SetPosition(2);
  journal.WriteString("XY");
  journal.SetSize(3);  // cuts bytes that were already overwritten once
  journal.SetPosition(1);
  journal.WriteString("Z");
  ASSERT_EQ(file.Bytes(), "0ZX");
  journal.Rollback();
  EXPECT_EQ(file.Bytes(), "0123456789");
}

}  // namespace
}  // namespace tagscope
