// What the writer refuses, where it writes, and how it meets other writers: a tag not read in
// full, an edit that fits in the padding, a file that is not a regular one or has other names,
// an interrupted write, two writers at once.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <future>

#include "engine/file/pending_writes.h"
#include "engine/file/tag_journal.h"
#include "engine/tag/unsync.h"
#include "tagscope/engine/id3_engine.h"
#include "tagscope/rtl/beside_file.h"
#include "tagscope/rtl/exception.h"
#include "tagscope/rtl/files.h"
#include "tests/engine/tag_builder.h"
#include "tests/engine/write_test_support.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace tagscope {
namespace {

using namespace test;
namespace fs = std::filesystem;

const std::string kAudio = PatternBytes(50000, 9);

std::string Frames() {
  return FrameV4("TIT2", Text("Song")) + FrameV4("TALB", Text("Album")) +
         FrameV4("PRIV", PatternBytes(300));
}

uint32_t Crc32(const std::string& bytes) {
  return static_cast<uint32_t>(
      crc32(0L, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size())));
}

std::string Identity(const std::string& name) {
  TFileInfo info;
  return GetFileInfo(name, info) ? info.identity : std::string();
}

TEST(WriteRefusal, ATagNotReadInFullIsNeitherWrittenNorErasedUnlessForced) {
  ScratchFolder dir;
  const std::string original = Tag(4, 0, Frames(), 100) + kAudio;
  const std::string name = dir.Put("a.mp3", original);
  TestEngine e;
  e.Open(name);
  int events = 0;
  e.OnWriteTag = e.OnEraseTag = [&](TID3Engine&) { ++events; };
  e.SetReadReport({false, "frame header at offset 45 not understood", 45, false, {}});
  e.SetTitle("New");
  for (auto operation :
       {+[](TID3Engine& x) { x.WriteTag(); }, +[](TID3Engine& x) { x.EraseTag(); }}) {
    try {
      operation(e);
      ADD_FAILURE() << "went ahead";
    } catch (const EWriteError& error) {
      const std::string message = error.what();
      EXPECT_NE(message.find(name), std::string::npos) << message;
      EXPECT_NE(message.find("offset 45"), std::string::npos) << message;
      EXPECT_NE(message.find("lost"), std::string::npos) << message;
    }
  }
  EXPECT_EQ(events, 0);
  EXPECT_EQ(ReadFile(name), original);
  EXPECT_EQ(dir.Files(), std::vector<std::string>{"a.mp3"});
  e.Options().forceWrite = true;
  e.WriteTag();
  EXPECT_EQ(events, 1);

  TestEngine r;
  r.Open(name, true);
  EXPECT_EQ(r.Title(), "New");
  EXPECT_EQ(r.Album(), "Album");
}

TEST(WriteRefusal, AForcedEraseOfATagRunningPastTheEndCutsOnlyWhatWasRead) {
  // The header claims far more bytes than the file holds: the frames and their zero padding are
  // the tag as far as anyone can tell, the audio (starting with its sync) is not.
  ScratchFolder dir;
  std::string tag = Tag(3, 0, FrameV3("TIT2", Text("Song")), 50);
  tag.replace(6, 4, Bytes({0x7F, 0x7F, 0x7F, 0x7F}));
  const std::string audio = PatternBytes(5000, 0);
  const std::string original = tag + audio;
  for (bool erase : {true, false}) {
    const std::string name = dir.Put("a.mp3", original);
    TestEngine e;
    e.Open(name);
    EXPECT_FALSE(e.Status().readReport.complete);
    EXPECT_THROW(erase ? e.EraseTag() : e.WriteTag(), EWriteError);
    EXPECT_EQ(ReadFile(name), original);
    e.Options().forceWrite = true;
    if (erase) {
      e.EraseTag();
      EXPECT_EQ(ReadFile(name), audio);
    } else {
      e.SetTitle("New");
      e.WriteTag();
      EXPECT_EQ(ReadFile(name).substr(e.Status().place.size), audio);
    }
  }
}

TEST(ExtendedHeader, Version4WritesEachFlagsDataWithItsLengthAndAFreshCRC) {
  ScratchFolder dir;
  const std::string name = dir.Put("a.mp3", kAudio);
  TestEngine e;
  e.Open(name);
  TID3ExtendedHeader& x = e.Header().ExtendedHeader();
  e.Header().SetExtendedHeaderPresent(true);
  x.SetTagIsAnUpdate(true);
  x.SetCRCData(0x0BADCAFE);  // stale: the writer computes its own
  x.SetTagRestricted(true);
  x.TagRestrictions().DecodeFlags(0xA5);
  e.SetPadding(40);
  e.SetTitle("Song");
  e.WriteTag();
  const std::string bytes = ReadFile(name);
  const std::string frames = FrameV4("TIT2", Text("Song"));
  const uint32_t crc = Crc32(frames + std::string(40, '\0'));
  // Sync-safe over five bytes: 35 bits, 7 to a byte.
  std::string crcBytes;
  for (int shift = 28; shift >= 0; shift -= 7) crcBytes += static_cast<char>((crc >> shift) & 0x7F);
  EXPECT_EQ(bytes.substr(10, 15),
            Bytes({0, 0, 0, 15, 1, 0x70, 0, 5}) + crcBytes + Bytes({1, 0xA5}));
  EXPECT_EQ(bytes.substr(25, frames.size()), frames);
  TestEngine r;
  r.Open(name, true);
  EXPECT_EQ(r.Header().ExtendedHeader().CRCData(), crc);
  EXPECT_EQ(r.Header().ExtendedHeader().TagRestrictions().EncodeFlags(), 0xA5);
  EXPECT_EQ(r.Frames().Count(), 1);
}

TEST(WriteInPlace, AnEditThatFitsWritesOnlyTheTagAndItsJournal) {
  ScratchFolder dir;
  const std::string tag = Tag(4, 0, Frames(), 256);
  const std::string name = dir.Put("a.mp3", tag + kAudio);
  const std::string identity = Identity(name);
  // Unchanged; 95 bytes longer into the padding; short and long by turns.
  const std::string titles[] = {"Song", std::string(99, 'L'), "S", std::string(99, 'L'), "S"};
  for (const std::string& title : titles) {
    auto files = std::make_shared<FaultyFileSystem>();
    TestEngine e;
    e.SetFileSystem(files);
    e.Open(name);
    e.SetTitle(title);
    e.WriteTag();
    EXPECT_EQ(e.Status().place.size, static_cast<int64_t>(tag.size())) << title.size();
    // The tag's bytes once into the file, twice (the old ones and the new) into the journal,
    // and the journal's few bytes of its own.
    EXPECT_LE(files->BytesWritten(), 3 * static_cast<long long>(tag.size()) + 512);
    EXPECT_EQ(Identity(name), identity);
    EXPECT_EQ(ReadFile(name).substr(tag.size()), kAudio);
    e.SetActive(false);
    TestEngine r;
    r.Open(name, true);
    EXPECT_EQ(r.Title(), title);
  }
  EXPECT_EQ(dir.Files(), std::vector<std::string>{"a.mp3"});
}

TEST(WriteInPlace, AnUnchangedTagWithAFooterIsRewrittenInPlace) {
  // A footer leaves no padding to fill: only a tag of exactly the old length fits.
  ScratchFolder dir;
  const std::string body = Tag(4, 0x10, Frames());
  const std::string tag = body + "3DI" + body.substr(3, 7);
  const std::string name = dir.Put("a.mp3", tag + kAudio);
  const std::string identity = Identity(name);
  auto files = std::make_shared<FaultyFileSystem>();
  TestEngine e;
  e.SetFileSystem(files);
  e.Open(name);
  e.WriteTag();
  EXPECT_LE(files->BytesWritten(), 2 * static_cast<long long>(tag.size()) + 512);
  EXPECT_EQ(Identity(name), identity);
  EXPECT_EQ(ReadFile(name), tag + kAudio);
}

TEST(WriteInPlace, ATagThatOutgrowsItsPlaceTakesRoomForTheNextEdits) {
  ScratchFolder dir;
  const std::string name = dir.Put("a.mp3", Tag(4, 0, Frames(), 0) + kAudio);
  TestEngine e;
  e.Open(name);
  e.SetTitle(std::string(200, 'g'));
  e.WriteTag();
  EXPECT_GE(e.Padding(), 1024);
  const int64_t size = e.Status().place.size;
  for (int round = 0; round < 6; ++round) {
    e.SetTitle(std::string(round % 2 ? 20 : 900, 'h'));
    e.WriteTag();
    EXPECT_EQ(e.Status().place.size, size);
  }
  // Padding the program asks for is what it gets.
  e.SetPadding(5000);
  e.WriteTag();
  EXPECT_EQ(e.Padding(), 5000);
}

TEST(WriteInPlace, AnEditOneByteShorterLeavesItsByteToThePadding) {
  // Also without padding to start from, and in a version 3 tag unsynchronised as a whole.
  for (const int version : {3, 4})
    for (const int padding : {0, 7}) {
      SCOPED_TRACE(std::to_string(version) + "/" + std::to_string(padding));
      ScratchFolder dir;
      const std::string tag =
          Tag(version, version == 3 ? 0x80 : 0, FrameV4("TIT2", Text("Song")), padding);
      const std::string name = dir.Put("a.mp3", tag + kAudio);
      const std::string identity = Identity(name);
      TestEngine e;
      e.Open(name);
      e.SetTitle("Son");
      e.WriteTag();
      EXPECT_EQ(Identity(name), identity);
      EXPECT_EQ(e.Padding(), padding + 1);
      const std::string bytes = ReadFile(name);
      ASSERT_EQ(bytes.size(), tag.size() + kAudio.size());
      EXPECT_EQ(bytes.substr(tag.size()), kAudio);
      e.SetActive(false);
      TestEngine r;
      r.Open(name, true);
      EXPECT_EQ(r.Title(), "Son");
    }
}

TEST(WriteInPlace, ATagOutgrowingLargePaddingKeepsThatPadding) {
  // The file's padding of 3000 bytes, not the least a grown tag gets.
  ScratchFolder dir;
  const std::string name = dir.Put("a.mp3", Tag(4, 0, Frames(), 3000) + kAudio);
  TestEngine e;
  e.Open(name);
  e.SetTitle(std::string(4000, 'g'));
  e.WriteTag();
  EXPECT_EQ(e.Padding(), 3000);
  EXPECT_EQ(ReadFile(name).substr(e.Status().place.size), kAudio);
  e.SetActive(false);
  TestEngine r;
  r.Open(name, true);
  EXPECT_EQ(r.Padding(), 3000);
}

TEST(Unsynchronisation, AFinalFFByteIsFollowedByAZero) {
  EXPECT_EQ(ApplyUnsynchronisation("A\xFF"), "A\xFF" + Bytes({0}));
  // A version 3 tag unsynchronised as a whole whose last frame ends in 0xFF and that has no
  // padding: its last stored byte must not run into the audio's sync.
  ScratchFolder dir;
  const std::string name = dir.Put("a.mp3", kAudio);
  TestEngine e;
  e.Open(name);
  e.Header().SetVersionNumber(3);
  e.Header().SetUnsynchronisation(true);
  auto& frame = e.Frames().Add();
  frame.SetName("PRIV");
  frame.Data().SetBytes("ab\xFF");
  e.SetPadding(0);
  e.WriteTag();
  const std::string bytes = ReadFile(name);
  EXPECT_EQ(bytes.substr(e.Status().place.size - 2, 2), Bytes({0xFF, 0}));
  EXPECT_EQ(bytes.substr(e.Status().place.size), kAudio);
}

#ifndef _WIN32
TEST(WriteTargets, OnlyRegularFilesAreWritten) {
  ScratchFolder dir;
  const std::string fifo = dir.Path("pipe.mp3");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  TestEngine e;
  try {
    e.Open(fifo);
    FAIL() << "a FIFO was opened for writing";
  } catch (const EFOpenError& error) {
    EXPECT_NE(std::string(error.what()).find("not a regular file"), std::string::npos);
  }
  EXPECT_FALSE(e.Active());
  EXPECT_TRUE(fs::is_fifo(fifo));
}
#endif

TEST(WriteTargets, AnOrdinaryFileIsRewrittenBesideAndRenamedIntoPlace) {
  // One name, our own file: the new content takes the name in one rename, never a copy back
  // over the old content.
  for (const bool erase : {false, true}) {
    ScratchFolder dir;
    const std::string name = dir.Put("a.mp3", Tag(4, 0, Frames(), 0) + kAudio);
    [[maybe_unused]] const std::string identity = Identity(name);
    auto files = std::make_shared<FaultyFileSystem>();
    TestEngine e;
    e.SetFileSystem(files);
    e.Open(name);
    e.SetTitle(std::string(500, 'g'));
    if (erase)
      e.EraseTag();
    else
      e.WriteTag();
    EXPECT_EQ(files->Renames(), 1);
#ifndef _WIN32
    // Windows refuses to rename over a file that is open; there the new content is copied in.
    EXPECT_NE(Identity(name), identity);
    EXPECT_LT(files->BytesWritten(), static_cast<long long>(2 * kAudio.size()));
#endif
    EXPECT_EQ(ReadFile(name).substr(erase ? 0 : e.Status().place.size), kAudio);
    EXPECT_EQ(dir.Files(), std::vector<std::string>{"a.mp3"});
  }
}

TEST(WriteTargets, AFileWithAnotherNameKeepsItThroughARewrite) {
  ScratchFolder dir;
  const std::string name = dir.Put("a.mp3", Tag(4, 0, Frames(), 0) + kAudio);
  const std::string other = dir.Path("b.mp3");
  std::error_code error;
  fs::create_hard_link(name, other, error);
  if (error || fs::hard_link_count(name) != 2) GTEST_SKIP() << "no hard links counted here";
  TestEngine e;
  e.Open(name);
  e.SetTitle(std::string(3000, 'g'));
  e.WriteTag();
  EXPECT_EQ(ReadFile(other), ReadFile(name));
  EXPECT_EQ(fs::hard_link_count(name), 2u);
  EXPECT_EQ(ReadFile(name).substr(e.Status().place.size), kAudio);
  e.EraseTag();
  EXPECT_EQ(ReadFile(other), kAudio);
  EXPECT_EQ(dir.Files(), (std::vector<std::string>{"a.mp3", "b.mp3"}));
}

TEST(WriteRecovery, LeftoversOfAStoppedWriterAreCleared) {
  ScratchFolder dir;
  const std::string original = Tag(4, 0, Frames(), 100) + kAudio;
  const std::string name = dir.Put("a.mp3", original);
  // An in-place write stopped after it had overwritten the tag, and a rewrite stopped early.
  {
    TFileStream file(name, TFileMode::fmOpenReadWrite);
    TPendingWrites change(file);
    change.WriteString(std::string(original.size() - kAudio.size(), 'X'));
    TTagJournal::ForUndo(BesideOf(name), file, change);
    change.Apply(file);
    // All but the first byte: a change made in full would stand.
    file.SetPosition(0);
    file.WriteString(original.substr(0, 1));
  }
  dir.Put("a.mp3.ID3TMP00000000.tmp", "half a file");
  dir.Put("a.mp3.ID3TMP0000000F.tmp", "half a file");
  TestEngine reader;
  reader.Open(name, true);
  EXPECT_TRUE(reader.Status().journalPending);
  reader.SetActive(false);
  TestEngine e;
  e.Open(name);
  EXPECT_NE(e.Status().recoveryNote.find("rolled back"), std::string::npos)
      << e.Status().recoveryNote;
  EXPECT_EQ(ReadFile(name), original);
  EXPECT_EQ(e.Title(), "Song");
  EXPECT_EQ(dir.Files(), std::vector<std::string>{"a.mp3"});
}

TEST(WriteRecovery, OnlyTheFilesOwnLeftoversAreCleared) {
  ScratchFolder dir;
  const std::string name = dir.Put("a.mp3", Tag(4, 0, Frames(), 100) + kAudio);
  dir.Put("a.mp3.ID3TMP00000001.tmp", "half a file");
  // Names a user or another program may have given files of their own.
  const std::vector<std::string> others = {
      "a.mp3.ID3TMP0123ABCD.tmp.keep", "a.mp3.ID3TMP.tmp",          "a.mp3.ID3TMP0123ABC.tmp",
      "a.mp3.ID3TMP0123ABCG.tmp",      "a.mp3.ID3TMP0123ABCDE.tmp", "xa.mp3.ID3TMP00000001.tmp",
      "b.mp3.ID3TMP00000001.tmp",      "a.mp3.ID3TMP00000010.tmp"};
  for (const std::string& other : others) dir.Put(other, "mine");
  TestEngine e;
  e.Open(name);
  std::vector<std::string> left = others;
  left.push_back("a.mp3");
  std::sort(left.begin(), left.end());
  EXPECT_EQ(dir.Files(), left);
}

TEST(WriteRecovery, FilesWhoseLongNamesShareTheirStartKeepTheirJournalsAndNewFilesApart) {
#ifdef _WIN32
  // The journal's name adds to a 220-byte name past what a Windows file name may hold.
  GTEST_SKIP() << "names this long leave no room for a journal's name on Windows";
#endif
  ScratchFolder dir;
  const std::string start(220, 'n');
  const std::string original = Tag(4, 0, Frames(), 100) + kAudio;
  const std::string one = dir.Put(start + "-one.mp3", original);
  const std::string two = dir.Put(start + "-two.mp3", original);
  // The first file's copy-back was stopped part way: its journal names its new content.
  const std::string fresh = Tag(4, 0, FrameV4("TIT2", Text("Fresh")), 10) + kAudio;
  {
    TFileStream file(one, TFileMode::fmOpenReadWrite);
    const std::string temp = beside::TempName(one, beside::SlotDigits(0));
    TFileStream source(dir.Put(temp.substr(dir.Path("").size()), fresh), TFileMode::fmOpenRead);
    TTagJournal::ForCopy(BesideOf(one), file, source, "00000000");
    file.WriteString(fresh.substr(0, 512));
  }
  const std::vector<std::string> left = dir.Files();
  // Writes of the second file, in place and beside, touch none of it.
  TestEngine e;
  e.Open(two);
  e.SetTitle("In place");
  e.WriteTag();
  e.SetTitle(std::string(1000, 'G'));
  e.WriteTag();
  e.SetActive(false);
  EXPECT_EQ(dir.Files(), left);
  TestEngine first;
  first.Open(one);
  EXPECT_NE(first.Status().recoveryNote.find("completed"), std::string::npos)
      << first.Status().recoveryNote;
  EXPECT_EQ(ReadFile(one), fresh);
  EXPECT_EQ(dir.Files(), (std::vector<std::string>{start + "-one.mp3", start + "-two.mp3"}));
}

TEST(WriteLocking, ConcurrentEditsOfOneFileBothSurvive) {
  ScratchFolder dir;
  const std::string name = dir.Put("a.mp3", Tag(4, 0, Frames(), 0) + kAudio);
  TestEngine first;
  first.Open(name);
  // The second writer waits for the first one's lock from its read to the end of its write.
  auto second = std::async(std::launch::async, [&] {
    TestEngine e;
    e.Open(name);
    e.SetArtist("Second");
    e.WriteTag();
  });
  EXPECT_EQ(second.wait_for(std::chrono::milliseconds(200)), std::future_status::timeout);
  try {
    first.SetTitle(std::string(2000, 'F'));  // a rewrite: the name then leads to a new file
    first.WriteTag();
  } catch (...) {
    first.SetActive(false);  // lets the second writer end before the failure is reported
    second.wait();
    throw;
  }
  first.SetActive(false);
  second.get();
  TestEngine r;
  r.Open(name, true);
  EXPECT_EQ(r.Title(), std::string(2000, 'F'));
  EXPECT_EQ(r.Artist(), "Second");
}

}  // namespace
}  // namespace tagscope
