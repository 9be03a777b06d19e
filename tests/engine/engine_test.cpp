// The engine on real files: the Active state machine, events, finding the tag, its extent.
#include <gtest/gtest.h>

#include <thread>

#include <vector>

#include "engine/tag/unsync.h"
#include "tagscope/engine/frame_value.h"
#include "tagscope/engine/id3_engine.h"
#include "tagscope/rtl/exception.h"
#include "tagscope/rtl/file_stream.h"
#include "tagscope/rtl/files.h"
#include "tests/engine/tag_builder.h"

namespace tagscope {
namespace {

using namespace test;

const std::string kAudio = std::string(3000, '\x55');

std::string SimpleTag(int version = 4, const std::string& title = "Song") {
  return Tag(version, 0, FrameV4("TIT2", Text(title)), 100);
}

// An engine open on a file, read-only unless told otherwise.
struct OpenEngine {
  explicit OpenEngine(const std::string& bytes, bool fullSeek = false, bool defer = false)
      : file(bytes) {
    engine.SetReadOnly(true);
    engine.SetFullID3TagSeek(fullSeek);
    engine.Options().deferLargePayloads = defer;
    engine.SetFileName(file.Name());
    engine.SetActive(true);
  }
  ScopedFile file;
  TID3Engine engine;
};

TEST(Engine, CreationDefaults) {
  TID3Engine e;
  EXPECT_FALSE(e.Active());
  EXPECT_FALSE(e.ReadOnly() || e.FullID3TagSeek() || e.WriteID3V1());
  EXPECT_EQ(e.Header().VersionNumber(), 0);
  EXPECT_EQ(e.Title(), "");
  EXPECT_EQ(e.AddComment("a", "b", "ENG"), -1);
  e.SetTitle("ignored");
  EXPECT_EQ(e.Frames().Count(), 0);
}

TEST(Engine, ActiveOpensReadsAndClosesWithEventsInOrder) {
  ScopedFile file(SimpleTag() + kAudio);
  TID3Engine e;
  std::vector<std::string> events;
  e.OnReadTag = [&](TID3Engine& sender) {
    EXPECT_EQ(&sender, &e);
    events.push_back("read");
  };
  e.OnFileOpen = [&](TID3Engine&) { events.push_back("open"); };
  e.OnFileClose = [&](TID3Engine&) { events.push_back("close"); };
  e.SetFileName(file.Name());
  e.SetActive(true);
  e.SetActive(true);  // no second read
  EXPECT_EQ(e.Title(), "Song");
  e.ReadTag();
  e.SetActive(false);
  e.SetActive(false);  // nothing more
  EXPECT_EQ(events, (std::vector<std::string>{"read", "open", "read", "close"}));
  EXPECT_EQ(e.Frames().Count(), 0);
  EXPECT_EQ(e.Title(), "");
}

TEST(Engine, FileNameChangesOnlyWhileInactive) {
  ScopedFile first(SimpleTag(4, "First")), second(SimpleTag(4, "Second"));
  TID3Engine e;
  e.SetFileName(first.Name());
  e.SetActive(true);
  e.SetFileName(second.Name());
  EXPECT_EQ(e.FileName(), first.Name());
  EXPECT_EQ(e.Title(), "First");
  e.SetActive(false);
  e.SetFileName(second.Name());
  e.SetActive(true);
  EXPECT_EQ(e.Title(), "Second");
}

TEST(Engine, MissingAndUnopenableFiles) {
  TID3Engine e;
  bool fired = false;
  e.OnFileOpen = e.OnReadTag = [&](TID3Engine&) { fired = true; };
  e.SetFileName(GetTempDir() + "tagscope-no-such-file.mp3");
  e.SetActive(true);
  EXPECT_FALSE(e.Active());
  // Inactive, but not silently: the report says why.
  EXPECT_NE(e.Status().readReport.problem.find("tagscope-no-such-file.mp3"), std::string::npos);
  e.SetFileName(GetTempDir());  // a folder is no file either
  e.SetActive(true);
  EXPECT_FALSE(e.Active());
  EXPECT_FALSE(fired);
}

// Whatever was in the tag, an inactive engine's is empty: callers read it through Tag().
TEST(Engine, AnInactiveEnginesTagIsEmpty) {
  ScopedFile file(SimpleTag() + kAudio);
  TID3Engine e;
  e.Tag().SetTitleUtf8("in memory");
  e.SetFileName(GetTempDir() + "tagscope-no-such-file.mp3");
  e.SetActive(true);
  ASSERT_FALSE(e.Active());
  EXPECT_EQ(e.Tag().Frames().Count(), 0);
  e.SetFileName(file.Name());
  e.SetActive(true);
  ASSERT_EQ(e.Tag().TitleUtf8(), "Song");
  e.SetActive(false);
  EXPECT_EQ(e.Tag().Frames().Count(), 0);
  EXPECT_EQ(e.Tag().Padding(), 0);
  // The engine's own setters change nothing while it is inactive.
  e.SetTitleUtf8("ignored");
  e.SetFrameText("TALB", "ignored");
  EXPECT_EQ(e.Tag().Frames().Count(), 0);
}

TEST(Engine, ADamagedFrameIsReportedWithItsPlaceAndTheRestIsRead) {
  const std::string first = FrameV4("TALB", Text("album"));
  const std::string body =
      first + FrameV4("COMM", "not zlib", 0, 0x08) + FrameV4("TIT2", Text("title"));
  ScopedFile file(Tag(4, 0, body));
  TID3Engine e;
  int fired = 0;
  e.OnFileOpen = e.OnReadTag = [&](TID3Engine&) { ++fired; };
  e.SetFileName(file.Name());
  e.SetActive(true);
  EXPECT_EQ(fired, 2);
  EXPECT_EQ(e.Album(), "album");
  EXPECT_EQ(e.Title(), "title");
  EXPECT_EQ(e.Status().place.size, 10 + static_cast<int64_t>(body.size()));
  const TTagReadReport& r = e.Status().readReport;
  EXPECT_FALSE(r.complete);
  EXPECT_EQ(r.problem, "Frame COMM at byte 26: compressed data is corrupt");
  EXPECT_EQ(r.accountedEnd, 10 + static_cast<int64_t>(first.size()));
}

TEST(Engine, PaddingAndTagExtent) {
  const std::string frames =
      FrameV4("PRIV", std::string(490, 'p')) + FrameV4("TXXX", std::string(490, 't'));
  ASSERT_EQ(frames.size(), 1000u);
  {
    OpenEngine o(Tag(4, 0, frames, 500) + kAudio);
    EXPECT_EQ(o.engine.Padding(), 500);
    EXPECT_EQ(o.engine.Status().place.size, 1510);
    EXPECT_EQ(o.engine.Status().place.offset, 0);
  }
  {
    OpenEngine o(Tag(4, 0x10, frames) + "3DI" + Bytes({4, 0, 0x10}) + SyncSafe4(1000) + kAudio);
    EXPECT_EQ(o.engine.Padding(), 0);
    EXPECT_EQ(o.engine.Status().place.size, 1020);
  }
}

TEST(Engine, PaddingSetter) {
  TID3Engine e;
  e.SetPadding(-5);
  EXPECT_EQ(e.Padding(), 0);
  e.SetPadding(300);
  EXPECT_EQ(e.Padding(), 300);
  e.Header().SetFooterPresent(true);
  e.SetPadding(300);
  EXPECT_EQ(e.Padding(), 0);
}

TEST(Engine, TheTagExtentNeverCoversAudioOrPassesTheFileEnd) {
  // The last frame claims more bytes than the tag holds; the audio stays outside.
  const std::string body =
      FrameV4("TIT2", Text("t")) + "PRIV" + SyncSafe4(5000) + Bytes({0, 0}) + "abc";
  {
    OpenEngine o(Tag(4, 0, body) + kAudio);
    EXPECT_EQ(o.engine.Status().place.size, 10 + static_cast<int64_t>(body.size()));
    EXPECT_EQ(o.engine.Frames().Count(), 1);
    EXPECT_EQ(o.engine.Status().readReport.problem,
              "Frame PRIV at byte 22: its size (5000 bytes) runs past the end of the tag");
    EXPECT_EQ(o.engine.Status().readReport.accountedEnd, 22);
  }
  {
    // The file ends before the tag's declared end.
    OpenEngine o(TagHeader(4, 0, 4000) + FrameV4("TIT2", Text("t")));
    EXPECT_EQ(o.engine.Title(), "t");
    EXPECT_EQ(o.engine.Status().place.size, 10 + 12);
    EXPECT_EQ(o.engine.Padding(), 0);
    EXPECT_EQ(o.engine.Status().readReport.problem,
              "The tag runs past the end of the file: its header counts 4000 bytes after it, "
              "the file ends 12 bytes after it");
    EXPECT_EQ(o.engine.Status().readReport.accountedEnd, 22);
  }
  {
    // Audio follows the frames within the size the header claims: the tag is said to run past
    // the end, not only to hold bytes that are no padding.
    OpenEngine o(TagHeader(4, 0, 4000) + FrameV4("TIT2", Text("t")) + std::string(100, '\xAA'));
    EXPECT_EQ(o.engine.Status().readReport.problem,
              "The tag runs past the end of the file: its header counts 4000 bytes after it, "
              "the file ends 112 bytes after it; 100 bytes at byte 22 after the last frame are "
              "not padding");
    EXPECT_EQ(o.engine.Status().readReport.accountedEnd, 22);
  }
  {
    OpenEngine o("ID3" + Bytes({4, 0, 0, 0}));  // a header cut short is no header
    EXPECT_TRUE(o.engine.Active());
    EXPECT_EQ(o.engine.Header().Size(), -1);
    EXPECT_EQ(o.engine.Status().place.size, 0);
  }
}

TEST(ReadReport, AnExtendedHeaderThatCannotBeOneIsSkippedAndNoted) {
  const std::string frame = FrameV4("TIT2", Text("title"));
  // The flag set, and the first frame right after the header; a size beyond the tag.
  for (const std::string& body : {frame, Bytes({0x7F, 0x7F, 0x7F, 0x7F, 1, 0}) + frame}) {
    OpenEngine o(Tag(4, 0x40, body, 20) + kAudio);
    const TTagReadReport& r = o.engine.Status().readReport;
    EXPECT_TRUE(r.extendedHeaderFlagWrong);
    EXPECT_FALSE(o.engine.Header().ExtendedHeaderPresent());
    EXPECT_TRUE(r.complete) << r.problem;
    EXPECT_EQ(r.accountedEnd, o.engine.Status().place.size);
  }
  OpenEngine first(Tag(4, 0x40, frame, 20) + kAudio);
  EXPECT_EQ(first.engine.Title(), "title");
  // A version 3 size other than 6 or 10 is none either; a true one is read.
  OpenEngine v3(Tag(3, 0x40, Bytes({0, 0, 0, 12, 0, 0}) + frame));
  EXPECT_TRUE(v3.engine.Status().readReport.extendedHeaderFlagWrong);
  OpenEngine real(Tag(3, 0x40, Bytes({0, 0, 0, 6, 0, 0, 0, 0, 0, 0}) + FrameV3("TIT2", Text("t"))));
  EXPECT_FALSE(real.engine.Status().readReport.extendedHeaderFlagWrong);
  EXPECT_EQ(real.engine.Title(), "t");
}

TEST(ReadReport, ReadingStopsAtTheFrameCap) {
  std::string body;
  for (int i = 0; i < 50001; ++i) body += FrameV4("PRIV", "");
  OpenEngine o(Tag(4, 0, body) + kAudio);
  EXPECT_EQ(o.engine.Frames().Count(), 50000);
  EXPECT_FALSE(o.engine.Status().readReport.complete);
  EXPECT_EQ(o.engine.Status().readReport.problem,
            "The tag holds more than 50000 frames; reading stopped at byte 500010");
  EXPECT_EQ(o.engine.Status().readReport.accountedEnd, 500010);
}

TEST(ReadReport, ACompressedVersion22TagIsNotRead) {
  OpenEngine o(Tag(2, 0x40, "TT2" + Bytes({0, 0, 2, 0}) + "t") + kAudio);
  EXPECT_EQ(o.engine.Header().VersionNumber(), 2);
  EXPECT_EQ(o.engine.Frames().Count(), 0);
  EXPECT_FALSE(o.engine.Header().ExtendedHeaderPresent());
  EXPECT_EQ(o.engine.Status().readReport.problem,
            "The ID3v2.2 tag is compressed, which no reader can undo; its frames are not read");
}

TEST(LocateTag, OnlyOffsetZeroWithoutTheFullSearch) {
  OpenEngine o(kAudio + SimpleTag());
  EXPECT_EQ(o.engine.Header().Size(), -1);
  EXPECT_EQ(o.engine.Frames().Count(), 0);
  OpenEngine v5("ID3" + Bytes({5, 0, 0, 0, 0, 0, 20}) + std::string(20, 0) + kAudio);
  EXPECT_EQ(v5.engine.Header().Size(), -1);
}

TEST(LocateTag, TheFullSearch) {
  auto fileWithTagsAt = [](std::vector<int> offsets, int size) {
    std::string bytes(static_cast<size_t>(size), '\x11');
    for (int offset : offsets) {
      std::string tag = SimpleTag(3, "at " + std::to_string(offset));
      bytes.replace(static_cast<size_t>(offset), tag.size(), tag);
    }
    return bytes;
  };
  struct Case {
    std::vector<int> offsets;
    int expected;
  };
  // Within a 4096-byte chunk the first hit counts; a hit in a later chunk replaces it.
  for (const Case& c : std::vector<Case>{{{5000}, 5000},
                                         {{100, 9000}, 9000},
                                         {{100, 200}, 100},
                                         {{4094}, 4094},  // across the chunk boundary
                                         {{3000, 4094}, 3000},
                                         {{100, 4096}, 4096}}) {
    OpenEngine o(fileWithTagsAt(c.offsets, 20000), true);
    EXPECT_EQ(o.engine.Status().place.offset, c.expected);
    EXPECT_EQ(o.engine.Title(), "at " + std::to_string(c.expected));
    const std::string title = "at " + std::to_string(c.expected);
    EXPECT_EQ(o.engine.Status().place.size, static_cast<int64_t>(SimpleTag(3, title).size()));
  }
  OpenEngine none(std::string(9000, 'x') + "ID3" + Bytes({5}) + "ID", true);
  EXPECT_EQ(none.engine.Status().place.offset, 0);
  EXPECT_EQ(none.engine.Header().Size(), -1);
  OpenEngine atZero(SimpleTag() + std::string(5000, 'x') + SimpleTag(3, "later"), true);
  EXPECT_EQ(atZero.engine.Status().place.offset, 0);
  EXPECT_EQ(atZero.engine.Title(), "Song");
}

TEST(Unsynchronisation, Version3TagsAreDecodedAsAWhole) {
  const std::string jpeg = Bytes({0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 0xFF});
  const std::string apic = Bytes({0}) + "image/jpeg" + Bytes({0, 3, 0}) + jpeg;
  const std::string plainBody = Bytes({0, 0, 0, 6, 0, 0, 0, 0, 0, 0}) +  // extended header
                                FrameV3("APIC", apic) + FrameV3("TIT2", Text("\xFF\xE9t"));
  const std::string stored = ApplyUnsynchronisation(plainBody);
  ASSERT_GT(stored.size(), plainBody.size());
  OpenEngine o(Tag(3, 0xC0, stored, 64) + kAudio);
  EXPECT_TRUE(o.engine.Header().Unsynchronisation());
  ASSERT_EQ(o.engine.Frames().Count(), 2);
  TMemoryStream picture;
  TID3Picture info;
  ASSERT_TRUE(o.engine.GetPicture(0, picture, info));
  EXPECT_EQ(picture.Bytes(), jpeg);
  EXPECT_EQ(o.engine.Title(), "\xFF\xE9t");
  // The extent is measured in the file's bytes.
  EXPECT_EQ(o.engine.Padding(), 64);
  EXPECT_EQ(o.engine.Status().place.size, 10 + static_cast<int64_t>(stored.size()) + 64);
}

TEST(Unsynchronisation, Version4TagsDecodeFlaggedFramesOnly) {
  const std::string raw = Bytes({'x', 0xFF, 0x00, 'y'});
  const std::string body =
      FrameV4("PRIV", raw) + FrameV4("GEOB", ApplyUnsynchronisation(raw), 0, 0x02);
  OpenEngine o(Tag(4, 0x80, body));
  ASSERT_EQ(o.engine.Frames().Count(), 2);
  EXPECT_EQ(o.engine.Frames().Items(0).Data().Bytes(), raw);
  EXPECT_EQ(o.engine.Frames().Items(1).Data().Bytes(), raw);
}

TEST(Engine, Version3ExtendedHeaderLeavesTheFramesReadable) {
  const std::string ext = Bytes({0, 0, 0, 10, 0x80, 0, 0, 0, 0, 0, 1, 2, 3, 4});
  OpenEngine o(Tag(3, 0x40, ext + FrameV3("TIT2", Text("three")), 30));
  EXPECT_EQ(o.engine.Title(), "three");
  EXPECT_EQ(o.engine.Header().ExtendedHeader().CRCData(), 0x01020304u);
  EXPECT_EQ(o.engine.Padding(), 30);
}

TEST(Engine, DecryptHookSeesEncryptedFramesOnly) {
  const std::string body = FrameV4("TIT2", Text("plain")) + FrameV4("TALB",
                                                                    "\x01"
                                                                    "cipher",
                                                                    0, 0x04, Bytes({0x81}));
  ScopedFile file(Tag(4, 0, body));
  TID3Engine e;
  std::vector<std::string> seen;
  e.OnFrameDecrypt = [&](TID3Frames_Item& frame, TStream& stream) {
    seen.push_back(frame.Name());
    EXPECT_EQ(stream.Position(), stream.Size());
    EXPECT_EQ(frame.EncryptionID(), 0x81);
    dynamic_cast<TMemoryStream&>(stream).SetBytes(Text("decrypted"));
  };
  e.SetFileName(file.Name());
  e.SetActive(true);
  EXPECT_EQ(seen, std::vector<std::string>{"TALB"});
  EXPECT_EQ(e.Album(), "decrypted");
  EXPECT_EQ(e.Title(), "plain");
}

TEST(Engine, FramesAreCopiedThroughTheProperty) {
  OpenEngine o(Tag(4, 0, FrameV4("TIT2", Text("copy me"), 0x40, 0x40, Bytes({7}))));
  TID3Engine other;
  other.SetFrames(o.engine.Frames());
  ASSERT_EQ(other.Frames().Count(), 1);
  EXPECT_EQ(other.Frames().Items(0).AsText(), "copy me");
  EXPECT_EQ(other.Frames().Items(0).GroupID(), 7);
  EXPECT_TRUE(other.Frames().Items(0).TagAlterDiscardable());
}

}  // namespace
}  // namespace tagscope

namespace tagscope {
namespace {

using namespace test;

TEST(Version22, FramesTakeTheirLaterIDsAndAForcedWriteDropsThoseWithout) {
  const auto frame = [](const std::string& id, const std::string& payload) {
    return id + Bytes({0, 0, static_cast<int>(payload.size())}) + payload;
  };
  const std::string body = frame("TT2", Text("title")) + frame("CRM", "owner") +
                           frame("PIC", Bytes({0}) + "PNG" + Bytes({3, 0}) + "png!");
  ScopedFile file(Tag(2, 0, body, 30) + std::string(100, 'A'));
  TID3Engine e;
  e.SetFileName(file.Name());
  e.SetActive(true);
  ASSERT_EQ(e.Frames().Count(), 3);
  EXPECT_EQ(e.Frames().Items(1).Name(), "CRM");
  TID3Picture p;
  std::string_view picture;
  ASSERT_TRUE(e.Tag().GetPicture(0, p, picture));
  EXPECT_EQ(p.MimeType, "image/png");
  EXPECT_EQ(picture, "png!");
  EXPECT_THROW(e.WriteTag(), EWriteError);
  EXPECT_EQ(e.Header().VersionNumber(), 2);
  e.Options().forceWrite = true;
  e.WriteTag();
  e.SetActive(false);
  e.SetActive(true);
  EXPECT_EQ(e.Header().VersionNumber(), 3);
  ASSERT_EQ(e.Frames().Count(), 2);
  EXPECT_EQ(e.Title(), "title");
  EXPECT_TRUE(e.Tag().GetPicture(0, p, picture));
  EXPECT_EQ(picture, "png!");
  EXPECT_EQ(file.Contents().substr(file.Contents().size() - 100), std::string(100, 'A'));
}

// Large payloads left in the file: described without being read, read in full on first use,
// and refused once the file changed under them, never shown from bytes never read.
TEST(Engine, LargePayloadsReadWhenAskedFor) {
  std::string cover(200000, '\0');
  for (size_t i = 0; i < cover.size(); ++i) cover[i] = static_cast<char>(i * 7 + i / 251);
  const std::string apic = Bytes({0}) + "image/jpeg" + Bytes({0, 3}) + "Front" + Bytes({0}) + cover;
  for (const int version : {3, 4}) {
    const std::string frame = version == 4 ? FrameV4("APIC", apic) : FrameV3("APIC", apic);
    OpenEngine open(Tag(version, 0, FrameV4("TIT2", Text("Song")) + frame, 300) + kAudio, false,
                    true);
    TID3Engine& e = open.engine;
    const TID3Frames_Item& item = e.Frames().Items(1);
    ASSERT_FALSE(item.PayloadRead());
    EXPECT_EQ(item.DataSize(), static_cast<int64_t>(apic.size()));
    TID3Picture picture;
    int64_t size = 0;
    ASSERT_TRUE(e.Tag().GetPictureInfo(0, picture, size));
    EXPECT_EQ(picture.DescriptionUtf8, "Front");
    EXPECT_EQ(size, static_cast<int64_t>(cover.size()));
    const TFrameValue described = DescribeFrameContent(item, e.Header().VersionNumber());
    ASSERT_FALSE(described.Fields.empty());
    EXPECT_EQ(described.Fields.back().Bytes.size() + described.Fields.back().Unread, cover.size());
    EXPECT_FALSE(item.PayloadRead());
    EXPECT_EQ(e.ReadAudio().firstFrameOffset, -1);  // no audio here, but nothing read wrongly
    std::string_view bytes;
    ASSERT_TRUE(e.Tag().GetPicture(0, picture, bytes));
    EXPECT_TRUE(bytes == cover);
    EXPECT_TRUE(item.PayloadRead());
  }
  // Changed after the read: the rest is refused, not taken from the new content.
  OpenEngine open(Tag(3, 0, FrameV3("APIC", apic), 0) + kAudio, false, true);
  TID3Engine& e = open.engine;
  {
    TFileStream writer(open.file.Name(), TFileMode::fmOpenReadWrite);
    writer.SetSize(writer.Size() + 1);
  }
  EXPECT_THROW((void)e.Frames().Items(0).Payload(), EReadError);
  EXPECT_FALSE(e.Frames().Items(0).PayloadRead());
  // Asked again, from another thread too, the payload fails the same clean way: a fill that
  // failed once must not stop the process the next time (a later frame, a later file).
  EXPECT_THROW((void)e.Frames().Items(0).Payload(), EReadError);
  std::thread([&] { EXPECT_THROW((void)e.Frames().Items(0).Payload(), EReadError); }).join();
}

}  // namespace
}  // namespace tagscope
