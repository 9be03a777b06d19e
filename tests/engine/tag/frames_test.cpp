// The frame list: header layouts of versions 3 and 4, the judged chain, payload handling and
// the writer.
#include <gtest/gtest.h>

#include "engine/tag/unsync.h"
#include "engine/tag/zlib_codec.h"
#include "tagscope/engine/id3_frames.h"
#include "tagscope/rtl/exception.h"
#include "tests/engine/tag_builder.h"

namespace tagscope {
namespace {

using namespace test;

struct ReadResult {
  int64_t padding;
  int64_t position;
  std::string problem;
};

ReadResult Read(TID3Frames& frames, const std::string& body, uint8_t version,
                const TID3EngineFrameNotify& decrypt = nullptr, int64_t remaining = -1) {
  TMemoryStream s(body);
  std::string problem;
  const int64_t padding = frames.ReadFrames(
      s, version, remaining < 0 ? static_cast<int64_t>(body.size()) : remaining, decrypt, &problem);
  return {padding, s.Position(), problem};
}

std::string Zlib(const std::string& data) {
  TMemoryStream s(data);
  CompressStream(s, TCompressionLevel::clMax);
  return s.Bytes();
}

std::string Xor(std::string data) {
  for (char& c : data) c ^= 0x5A;
  return data;
}

// A handler that "decrypts" (or encrypts) by XOR.
void XorHandler(TID3Frames_Item&, TStream& stream) {
  auto& m = dynamic_cast<TMemoryStream&>(stream);
  m.SetBytes(Xor(m.Bytes()));
}

TEST(FrameLayout, Version4StatusFlagsAndGroupByte) {
  TID3Frames frames;
  Read(frames, FrameV4("TIT2", Text("x"), 0x70, 0x40, Bytes({0x33})), 4);
  ASSERT_EQ(frames.Count(), 1);
  const TID3Frames_Item& f = frames.Items(0);
  EXPECT_TRUE(f.TagAlterDiscardable() && f.FileAlterDiscardable() && f.ReadOnly());
  EXPECT_TRUE(f.Grouping());
  EXPECT_EQ(f.GroupID(), 0x33);
  EXPECT_FALSE(f.Compress() || f.Encrypted() || f.UnSynchronisation() || f.DataLengthIndicator());
  EXPECT_EQ(f.Data().Bytes(), Text("x"));
}

TEST(FrameLayout, Version4OptionalBytesAreCountedInTheSize) {
  // Grouping, encryption and a data length indicator: 1 + 1 + 4 bytes before the payload.
  const std::string payload = Text("secret");
  const std::string body =
      FrameV4("TIT2", Xor(payload), 0, 0x45, Bytes({0x11, 0x22}) + SyncSafe4(7)) +
      FrameV4("TALB", Text("next"));
  TID3Frames frames;
  Read(frames, body, 4, XorHandler);
  ASSERT_EQ(frames.Count(), 2);
  const TID3Frames_Item& f = frames.Items(0);
  EXPECT_TRUE(f.Grouping() && f.Encrypted() && f.DataLengthIndicator());
  EXPECT_EQ(f.GroupID(), 0x11);
  EXPECT_EQ(f.EncryptionID(), 0x22);
  EXPECT_EQ(f.Data().Bytes(), payload);
  EXPECT_EQ(frames.Items(1).Name(), "TALB");
}

TEST(FrameLayout, Version4SizesAreSyncSafe) {
  const std::string big(200, 'a');
  const std::string body = FrameV4("PRIV", big) + FrameV4("TIT2", Text("t"));
  ASSERT_EQ(body.substr(4, 4), Bytes({0, 0, 1, 0x48}));
  TID3Frames frames;
  Read(frames, body, 4);
  ASSERT_EQ(frames.Count(), 2);
  EXPECT_EQ(frames.Items(0).DataSize(), 200);
  EXPECT_EQ(frames.Items(1).Name(), "TIT2");
}

TEST(FrameLayout, Version3FlagsAndOptionalBytesInTheirOwnOrder) {
  // Status: tag alter, file alter, read only. Format: compression, encryption, grouping;
  // then the decompressed size, the encryption method, the group ID.
  const std::string payload = Text(std::string(300, 'z'));
  const std::string stored = Xor(Zlib(payload));
  const std::string body = FrameV3("TIT2", stored, 0xE0, 0xE0, Plain4(301) + Bytes({0x07, 0x09})) +
                           FrameV3("TPE1", Text("artist"));
  TID3Frames frames;
  Read(frames, body, 3, XorHandler);
  ASSERT_EQ(frames.Count(), 2);
  const TID3Frames_Item& f = frames.Items(0);
  EXPECT_TRUE(f.TagAlterDiscardable() && f.FileAlterDiscardable() && f.ReadOnly());
  EXPECT_TRUE(f.Compress() && f.Encrypted() && f.Grouping());
  EXPECT_FALSE(f.UnSynchronisation());
  EXPECT_EQ(f.EncryptionID(), 0x07);
  EXPECT_EQ(f.GroupID(), 0x09);
  EXPECT_EQ(f.Data().Bytes(), payload);
  EXPECT_EQ(frames.Items(1).Data().Bytes(), Text("artist"));
}

TEST(FrameLayout, Version3SizesArePlain) {
  const std::string body = FrameV3("PRIV", std::string(200, 'b')) + FrameV3("TIT2", Text("t"));
  ASSERT_EQ(body.substr(4, 4), Bytes({0, 0, 0, 0xC8}));
  TID3Frames frames;
  Read(frames, body, 3);
  ASSERT_EQ(frames.Count(), 2);
  EXPECT_EQ(frames.Items(0).DataSize(), 200);
}

TEST(FrameChain, Version4TagWithPlainSizesIsReadWithThem) {
  const std::string body =
      FrameV3("APIC", std::string(300, 'p')) + FrameV3("TIT2", Text("t")) + std::string(20, '\0');
  TID3Frames frames;
  const ReadResult r = Read(frames, body, 4);
  ASSERT_EQ(frames.Count(), 2);
  EXPECT_EQ(frames.Items(0).DataSize(), 300);
  EXPECT_EQ(r.padding, 20);
}

TEST(FrameChain, Version3TagWithSyncSafeSizesIsReadWithThem) {
  const std::string body = FrameV4("APIC", std::string(300, 'p')) + FrameV4("TIT2", Text("t"));
  TID3Frames frames;
  Read(frames, body, 3);
  ASSERT_EQ(frames.Count(), 2);
  EXPECT_EQ(frames.Items(0).DataSize(), 300);
}

TEST(FrameChain, OptionalBytesLeftOutOfTheSize) {
  // A data length indicator that the size does not count, as some writers store it.
  const std::string payload = Text("title");
  const std::string first = "TIT2" + SyncSafe4(static_cast<uint32_t>(payload.size())) +
                            Bytes({0, 0x01}) + SyncSafe4(6) + payload;
  TID3Frames frames;
  Read(frames, first + FrameV4("TALB", Text("album")), 4);
  ASSERT_EQ(frames.Count(), 2);
  EXPECT_EQ(frames.Items(0).Data().Bytes(), payload);
  EXPECT_TRUE(frames.Items(0).DataLengthIndicator());
  EXPECT_EQ(frames.Items(1).Data().Bytes(), Text("album"));
}

TEST(FrameChain, TheStandardReadingWinsWhenItWalksCleanly) {
  // Under plain sizes this chain would also walk (into the padding); the standard one is kept.
  const std::string body = FrameV4("PRIV", std::string(128, 'x')) + std::string(200, '\0');
  TID3Frames frames;
  const ReadResult r = Read(frames, body, 4);
  ASSERT_EQ(frames.Count(), 1);
  EXPECT_EQ(frames.Items(0).DataSize(), 128);
  EXPECT_EQ(r.padding, 200);
}

TEST(FrameList, PaddingEndsTheListAndTheStreamStandsAtIt) {
  const std::string frames2 = FrameV4("TIT2", Text("a")) + FrameV4("TPE1", Text("b"));
  TID3Frames frames;
  ReadResult r = Read(frames, frames2 + std::string(500, '\0'), 4);
  EXPECT_EQ(frames.Count(), 2);
  EXPECT_EQ(r.padding, 500);
  EXPECT_EQ(r.position, static_cast<int64_t>(frames2.size()));
  r = Read(frames, frames2, 4);
  EXPECT_EQ(r.padding, 0);
  EXPECT_EQ(frames.Count(), 2);
}

TEST(FrameList, EmptyFramesInvalidIDsAndDuplicates) {
  const std::string body = FrameV4("TIT2", "") + FrameV4("TIT2", Text("second")) +
                           FrameV4("XYZ9", Text("unlisted")) + FrameV4("TiT2", Text("lower")) +
                           FrameV4("TALB", Text("after"));
  TID3Frames frames;
  const ReadResult r = Read(frames, body, 4);
  ASSERT_EQ(frames.Count(), 3);
  EXPECT_EQ(frames.Items(0).DataSize(), 0);
  EXPECT_EQ(frames.Items(2).Name(), "XYZ9");
  EXPECT_EQ(frames.FindFrame("TIT2"), &frames.Items(0));
  EXPECT_EQ(frames.FindFrame("TALB"), nullptr);
  EXPECT_EQ(r.padding, static_cast<int64_t>(body.size()) - 10 - 17 - 19);
}

TEST(FrameList, AFramePastTheTagsEndEndsTheListAndIsReported) {
  // Its bytes inside the tag are not the frame, and those past it are audio: it is not read.
  const std::string body = FrameV4("TIT2", Text("a")) + FrameV4("PRIV", std::string(100, 'p'));
  const std::string file = body + std::string(400, 'A');  // audio behind the tag
  TID3Frames frames;
  const ReadResult r = Read(frames, file, 4, nullptr, static_cast<int64_t>(body.size()) - 40);
  ASSERT_EQ(frames.Count(), 1);
  EXPECT_EQ(r.problem, "its size (100 bytes) runs past the end of the tag");
  EXPECT_EQ(r.position, 12);
  EXPECT_EQ(r.padding, static_cast<int64_t>(body.size()) - 40 - 12);
}

TEST(FrameList, TheFrameCountIsCapped) {
  std::string body;
  for (int i = 0; i < MaxFrameCount + 1; ++i) body += FrameV4("PRIV", "");
  TID3Frames frames;
  const ReadResult r = Read(frames, body, 4);
  EXPECT_EQ(frames.Count(), MaxFrameCount);
  EXPECT_EQ(r.padding, 10);
}

TEST(Payload, CompressedFramesAreInflatedAndCorruptOnesKeptAsStored) {
  const std::string payload = Text(std::string(1000, 'c'));
  TID3Frames frames;
  Read(frames, FrameV4("TIT2", Zlib(payload), 0, 0x09, SyncSafe4(1001)), 4);
  ASSERT_EQ(frames.Count(), 1);
  EXPECT_EQ(frames.Items(0).Data().Bytes(), payload);
  EXPECT_TRUE(frames.Items(0).Compress());

  // The frames around a corrupt one are read; it keeps its stored bytes, so that a forced
  // write loses nothing of it.
  const std::string body = FrameV4("TALB", Text("kept")) + FrameV4("TIT2", "garbage!", 0, 0x08) +
                           FrameV4("TPE1", Text("after"));
  const ReadResult r = Read(frames, body, 4);
  EXPECT_EQ(r.problem, "compressed data is corrupt");
  ASSERT_EQ(frames.Count(), 3);
  EXPECT_EQ(frames.Items(0).Data().Bytes(), Text("kept"));
  EXPECT_TRUE(frames.Items(1).KeptAsStored());
  EXPECT_EQ(frames.Items(2).AsText(), "after");
  TMemoryStream out;
  frames.WriteFrames(out, 4);
  EXPECT_EQ(out.Bytes(), body);
}

TEST(Payload, AFrameInflatingPastTheLimitFails) {
  TMemoryStream bomb(std::string(MaxInflatedSize + 1, '\0'));
  CompressStream(bomb, TCompressionLevel::clFastest);
  TID3Frames frames;
  const ReadResult r = Read(frames, FrameV4("PRIV", bomb.Bytes(), 0, 0x08), 4);
  EXPECT_NE(r.problem.find("limit"), std::string::npos) << r.problem;
  EXPECT_EQ(frames.Items(0).DataSize(), static_cast<int64_t>(bomb.Size()));
}

TEST(Payload, EncryptedFramesWithoutAHandlerStayAsStored) {
  const std::string stored = Xor(Zlib(Text("hidden")));
  const std::string v4 = FrameV4("TIT2", stored, 0, 0x0D, Bytes({0x80}) + SyncSafe4(7));
  const std::string v3 = FrameV3("TIT2", stored, 0, 0xC0, Plain4(7) + Bytes({0x80}));
  for (const auto& [body, version] : {std::pair{v4, 4}, std::pair{v3, 3}}) {
    TID3Frames frames;
    Read(frames, body, static_cast<uint8_t>(version));
    ASSERT_EQ(frames.Count(), 1);
    EXPECT_EQ(frames.Items(0).Data().Bytes(), stored);
    EXPECT_TRUE(frames.Items(0).KeptAsStored());
    TMemoryStream out;
    frames.WriteFrames(out, static_cast<uint8_t>(version));
    EXPECT_EQ(out.Bytes(), body);  // byte for byte, not compressed again
  }
}

TEST(Payload, Version4FrameUnsynchronisationIsUndoneAndReapplied) {
  const std::string jpeg = Bytes({0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10});
  std::string payload = Bytes({0}) + "image/jpeg" + Bytes({0, 3, 0}) + jpeg;
  const std::string body = FrameV4("APIC", ApplyUnsynchronisation(payload), 0, 0x02);
  TID3Frames frames;
  Read(frames, body, 4);
  ASSERT_EQ(frames.Count(), 1);
  EXPECT_TRUE(frames.Items(0).UnSynchronisation());
  EXPECT_EQ(frames.Items(0).Data().Bytes(), payload);
  TMemoryStream out;
  frames.WriteFrames(out, 4);
  EXPECT_EQ(out.Bytes(), body);
}

TEST(WriteFrames, Version4Layout) {
  TID3Frames frames;
  TID3Frames_Item& f = frames.Add();
  f.SetName("TIT2");
  f.SetAsText(std::string(200, 't'));
  f.SetGroupID(0x42);
  f.SetReadOnly(true);
  TMemoryStream out;
  frames.WriteFrames(out, 4);
  EXPECT_EQ(out.Bytes(), FrameV4("TIT2", Text(std::string(200, 't')), 0x10, 0x40, Bytes({0x42})));
}

TEST(WriteFrames, Version3Layout) {
  TID3Frames frames;
  TID3Frames_Item& f = frames.Add();
  f.SetName("TIT2");
  f.SetAsText(std::string(200, 't'));
  f.SetGroupID(0x42);
  f.SetEncryptionID(0x43);
  f.SetTagAlterDiscardable(true);
  TMemoryStream out;
  frames.WriteFrames(out, 3);
  EXPECT_EQ(out.Bytes(),
            FrameV3("TIT2", Text(std::string(200, 't')), 0x80, 0x60, Bytes({0x43, 0x42})));
  frames.Add();  // an item without an ID: four zero bytes and size 0
  TMemoryStream both;
  frames.WriteFrames(both, 4);
  EXPECT_EQ(both.Bytes().substr(both.Bytes().size() - 10), std::string(10, '\0'));
}

TEST(WriteFrames, EveryFlagRoundTripsInBothVersions) {
  for (uint8_t version : {3, 4}) {
    TID3Frames frames;
    TID3Frames_Item& f = frames.Add();
    f.SetName("COMM");
    f.Data().SetBytes(std::string(500, 'q') + Bytes({0xFF, 0x00, 0xFF}));
    f.SetCompress(true);
    f.SetEncryptionID(9);
    f.SetGroupID(4);
    f.SetTagAlterDiscardable(true);
    f.SetFileAlterDiscardable(true);
    f.SetReadOnly(true);
    f.SetUnSynchronisation(version == 4);
    TID3Frames plain;
    plain.Add().SetName("TIT2");
    TMemoryStream out;
    frames.WriteFrames(out, version);
    plain.WriteFrames(out, version);
    TID3Frames back;
    TMemoryStream in(out.Bytes());
    // Written without an encrypt handler, so a handler that leaves the bytes gets them back.
    EXPECT_EQ(back.ReadFrames(in, version, in.Size(), [](TID3Frames_Item&, TStream&) {}), 0);
    ASSERT_EQ(back.Count(), 2) << int(version);
    const TID3Frames_Item& b = back.Items(0);
    EXPECT_EQ(b.Data().Bytes(), f.Data().Bytes());
    EXPECT_TRUE(b.Compress() && b.Encrypted() && b.Grouping() && b.DataLengthIndicator());
    EXPECT_TRUE(b.TagAlterDiscardable() && b.FileAlterDiscardable() && b.ReadOnly());
    EXPECT_EQ(b.EncryptionID(), 9);
    EXPECT_EQ(b.GroupID(), 4);
  }
}

TEST(FrameItem, PropertiesAndAssignment) {
  TID3Frames_Item a;
  EXPECT_EQ(a.Name(), "");
  EXPECT_EQ(a.DisplayName(), "TID3Frames_Item");
  a.SetName("TIT");
  a.SetName("TIT22");
  EXPECT_EQ(a.Name(), "");
  a.SetName("TIT2");
  EXPECT_EQ(a.DisplayName(), "Title");
  a.SetCompress(false);
  EXPECT_TRUE(a.DataLengthIndicator());
  a.SetEncryptionID(3);
  a.SetAsText("hello");
  EXPECT_EQ(a.DataSize(), 6);
  EXPECT_EQ(a.AsText(), "hello");
  TID3Frames_Item b;
  b.Assign(a);
  EXPECT_EQ(b.Name(), "TIT2");
  EXPECT_TRUE(b.Encrypted() && b.DataLengthIndicator());
  EXPECT_EQ(b.EncryptionID(), 3);
  EXPECT_EQ(b.Data().Bytes(), a.Data().Bytes());
  TID3Frames_Item apic;
  apic.SetName("APIC");
  EXPECT_EQ(apic.DisplayName(), "APIC");
  TID3Frames list;
  EXPECT_THROW(list.Items(0), Exception);
}

}  // namespace
}  // namespace tagscope

namespace tagscope {
namespace {

// New content ends what the old payload was stored as, not the frame's flags, and no longer
// shares the bytes it was read from.
TEST(FrameItem, SetPayloadEndsStoredAndDamagedStateButKeepsFlags) {
  auto owner = std::make_shared<std::string>("stored");
  TID3Frames_Item a;
  a.SetName("TIT2");
  a.SetEncryptionID(3);
  a.SetSharedPayload(owner, *owner);
  a.SetKeptAsStored(true, 9);
  a.SetDamaged(4, 0x40, 0x01);
  a.SetPayload(std::string("\0new", 4));
  EXPECT_FALSE(a.KeptAsStored());
  EXPECT_FALSE(a.Damaged());
  EXPECT_TRUE(a.Encrypted());
  EXPECT_EQ(a.EncryptionID(), 3);
  EXPECT_EQ(a.Payload(), std::string("\0new", 4));
  EXPECT_EQ(a.Data().Position(), 0);
  *owner = "gone!!";
  EXPECT_EQ(a.Payload(), std::string("\0new", 4));
}

TEST(FrameList, SearchByIndexFollowsRenamesAndDeletions) {
  TID3Frames list;
  for (const char* id : {"COMM", "TIT2", "COMM", "COMM"}) list.Add().SetName(id);
  list.Items(3).SetAsText("last");
  EXPECT_EQ(list.FindFrame("COMM", 1), &list.Items(2));
  // A frame before the last hit takes the ID: the third comment is another one now.
  list.Items(1).SetName("COMM");
  EXPECT_EQ(list.FindFrame("COMM", 2), &list.Items(2));
  EXPECT_EQ(list.FindFrame("COMM", 3), &list.Items(3));
  list.Delete(0);
  EXPECT_EQ(list.FindFrame("COMM", 2)->AsText(), "last");
  EXPECT_EQ(list.FindFrame("COMM", 3), nullptr);
  EXPECT_EQ(list.CountOf("COMM"), 3);
}

}  // namespace
}  // namespace tagscope
