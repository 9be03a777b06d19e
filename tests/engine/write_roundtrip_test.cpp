// A tag written by the engine reads back equal, frame by frame and flag by flag, and the bytes
// outside the tag stay as they were.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "tagscope/engine/id3_engine.h"
#include "tagscope/rtl/exception.h"
#include "tests/engine/write_test_support.h"

namespace tagscope {
namespace {

using namespace test;
namespace fs = std::filesystem;

// Everything a frame carries that its tag version can store.
std::string Describe(const TID3Frames_Item& f, uint8_t version) {
  std::string d =
      f.Name() + " tagAlter=" + std::to_string(f.TagAlterDiscardable()) +
      " fileAlter=" + std::to_string(f.FileAlterDiscardable()) +
      " readOnly=" + std::to_string(f.ReadOnly()) + " compress=" + std::to_string(f.Compress()) +
      " encrypted=" + std::to_string(f.Encrypted()) + " grouping=" + std::to_string(f.Grouping());
  if (f.Grouping()) d += " group=" + std::to_string(f.GroupID());
  if (f.Encrypted()) d += " method=" + std::to_string(f.EncryptionID());
  // Version 3 has no frame unsynchronisation, and gives a length exactly to compressed frames.
  if (version >= 4)
    d += " unsync=" + std::to_string(f.UnSynchronisation()) +
         " dataLength=" + std::to_string(f.DataLengthIndicator());
  return d + " size=" + std::to_string(f.Data().Bytes().size());
}

void ExpectSameFrames(const TID3Frames& written, const TID3Frames& read, uint8_t version) {
  ASSERT_EQ(read.Count(), written.Count());
  for (int i = 0; i < written.Count(); ++i) {
    const TID3Frames_Item& w = written.Items(i);
    const TID3Frames_Item& r = read.Items(i);
    ASSERT_EQ(Describe(r, version), Describe(w, version)) << "frame " << i;
    ASSERT_EQ(r.Data().Bytes(), w.Data().Bytes()) << "frame " << i;
  }
}

// A reversible stand-in for encryption.
void Scramble(TID3Frames_Item&, TStream& stream) {
  TMemoryStream& memory = dynamic_cast<TMemoryStream&>(stream);
  std::string bytes = memory.Bytes();
  for (char& c : bytes) c = static_cast<char>(c ^ 0x5A);
  memory.SetBytes(bytes);
}

using FlagSetter = std::function<void(TID3Frames_Item&, int size)>;

struct FlagSet {
  std::string name;
  FlagSetter set;
  bool version4Only = false;
};

std::vector<FlagSet> FlagSets() {
  return {
      {"none", [](TID3Frames_Item&, int) {}},
      {"status",
       [](TID3Frames_Item& f, int size) {
         f.SetTagAlterDiscardable(size % 2 == 0);
         f.SetFileAlterDiscardable(size % 3 == 0);
         f.SetReadOnly(size % 5 != 0);
       }},
      {"compressed", [](TID3Frames_Item& f, int) { f.SetCompress(true); }},
      {"grouped and encrypted",
       [](TID3Frames_Item& f, int size) {
         f.SetGroupID(static_cast<uint8_t>(size));
         f.SetEncryptionID(static_cast<uint8_t>(0x80 + size % 3));
       }},
      {"every flag",
       [](TID3Frames_Item& f, int size) {
         f.SetTagAlterDiscardable(true);
         f.SetFileAlterDiscardable(true);
         f.SetReadOnly(true);
         f.SetCompress(true);
         f.SetGroupID(static_cast<uint8_t>(size));
         f.SetEncryptionID(0x81);
         f.SetUnSynchronisation(true);
       },
       true},
      {"unsynchronised", [](TID3Frames_Item& f, int) { f.SetUnSynchronisation(true); }, true},
      {"data length only", [](TID3Frames_Item& f, int) { f.SetDataLengthIndicator(true); }, true},
  };
}

// Writes frames of every size from 0 to 300 under each flag set, in versions 3 and 4 (and
// version 3 unsynchronised as a whole), and reads them back with a fresh engine.
TEST(WriteRoundTrip, EveryFrameSizeAndFlagInVersions3And4) {
  const std::string audio = PatternBytes(1000, 9);
  struct Variant {
    uint8_t version;
    bool tagUnsync;
  };
  for (const Variant variant : {Variant{3, false}, Variant{3, true}, Variant{4, false}}) {
    for (const FlagSet& flags : FlagSets()) {
      if (flags.version4Only && variant.version < 4) continue;
      SCOPED_TRACE("version " + std::to_string(variant.version) +
                   (variant.tagUnsync ? " unsync" : "") + ", flags: " + flags.name);
      ScratchFolder dir;
      const std::string name = dir.Put("a.mp3", audio);
      TestEngine writer;
      writer.Open(name);
      writer.OnFrameEncrypt = Scramble;
      writer.Header().SetVersionNumber(static_cast<uint8_t>(variant.version));
      writer.Header().SetUnsynchronisation(variant.tagUnsync);
      for (int size = 0; size <= 300; ++size) {
        TID3Frames_Item& frame = writer.Frames().Add();
        frame.SetName("PRIV");
        frame.Data().SetBytes(PatternBytes(size, size));
        flags.set(frame, size);
      }
      writer.WriteTag();
      TestEngine reader;
      reader.OnFrameDecrypt = Scramble;
      reader.Open(name, true);
      EXPECT_EQ(reader.Header().VersionNumber(), variant.version);
      ExpectSameFrames(writer.Frames(), reader.Frames(), variant.version);
      EXPECT_EQ(ReadFile(name).substr(reader.Status().place.size), audio);
    }
  }
}

TEST(WriteRoundTrip, FramesAcrossTheSyncSafeByteBoundaries) {
  for (const uint8_t version : {3, 4}) {
    ScratchFolder dir;
    const std::string name = dir.Put("a.mp3", "");
    TestEngine writer;
    writer.Open(name);
    writer.Header().SetVersionNumber(version);
    for (const int size : {16383, 16384, (1 << 21) + 1}) {
      TID3Frames_Item& frame = writer.Frames().Add();
      frame.SetName("APIC");
      frame.Data().SetBytes(PatternBytes(size));
    }
    writer.WriteTag();
    TestEngine reader;
    reader.Open(name, true);
    ExpectSameFrames(writer.Frames(), reader.Frames(), version);
  }
}

// The files of the tests' data and the engine's fuzzing corpus.
std::vector<fs::path> SampleFiles() {
  const fs::path data(TAGSCOPE_TEST_DATA);
  std::vector<fs::path> files;
  for (const fs::path& folder : {data, data / ".." / ".." / "fuzz" / "corpus" / "engine"}) {
    if (!fs::is_directory(folder)) continue;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
      if (entry.is_regular_file() && entry.file_size() < (8 << 20)) files.push_back(entry.path());
  }
  return files;
}

// The file's bytes outside the tag.
std::string OutsideTag(const std::string& bytes, const TID3Engine& e) {
  const auto offset = static_cast<size_t>(e.Status().place.offset);
  return bytes.substr(0, offset) +
         bytes.substr(offset + static_cast<size_t>(e.Status().place.size));
}

TEST(WriteRoundTrip, EverySampleFileWithChangedFields) {
  const std::vector<fs::path> files = SampleFiles();
  int written = 0;
  for (const fs::path& sample : files) {
    SCOPED_TRACE(sample.string());
    ScratchFolder dir;
    const std::string original = ReadFile(sample.string());
    const std::string name = dir.Put("a.mp3", original);
    // Encryption that changes nothing, so that frames flagged encrypted read the same way on
    // both sides, whether they were or not.
    const TID3EngineFrameNotify plain = [](TID3Frames_Item&, TStream&) {};
    TestEngine writer;
    writer.OnFrameDecrypt = writer.OnFrameEncrypt = plain;
    try {
      writer.Open(name);
    } catch (const Exception&) {
      continue;  // a sample the engine cannot read, kept for the fuzzer
    }
    const std::string audio = OutsideTag(original, writer);
    writer.SetTitle("Round trip title");
    writer.SetArtist("Someone else");
    writer.AddComment("Round", "trip", "ENG");
    // Version 2 is written as version 3, unless a frame kept its three-character ID.
    const uint8_t read = writer.Header().VersionNumber();
    bool unconverted = false;
    for (int i = 0; i < writer.Frames().Count(); ++i)
      unconverted = unconverted || (read == 2 && writer.Frames().Items(i).Name().size() == 3);
    // A tag the read did not account for in full is not written over either, nor a file
    // that is plainly something else behind its tag.
    if (read < 2 || read > 4 || unconverted || !writer.Status().readReport.complete ||
        !writer.ForeignContent().empty()) {
      EXPECT_THROW(writer.WriteTag(), EWriteError);
      EXPECT_EQ(ReadFile(name), original);
      continue;
    }
    writer.WriteTag();
    const uint8_t version = writer.Header().VersionNumber();
    ++written;
    TestEngine reader;
    reader.OnFrameDecrypt = plain;
    reader.Open(name, true);
    EXPECT_EQ(reader.Title(), "Round trip title");
    ExpectSameFrames(writer.Frames(), reader.Frames(), version);
    EXPECT_EQ(OutsideTag(ReadFile(name), reader), audio);
  }
  EXPECT_GT(written, 0) << "no sample files under " << TAGSCOPE_TEST_DATA;
}

}  // namespace
}  // namespace tagscope
