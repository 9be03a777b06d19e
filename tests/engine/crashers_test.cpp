// Inputs that once made the engine crash or hang, each a test of its own with the outcome it
// must now have, in every way the fuzzer opens it.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "tagscope/engine/id3_engine.h"
#include "tagscope/engine/version_change.h"
#include "tagscope/rtl/exception.h"

namespace tagscope {
namespace {

std::string Input(const char* name) {
  return (std::filesystem::path(TAGSCOPE_TEST_DATA) / "crashers" / "engine" / name).string();
}

// Opens the file with and without the full search and a decrypt handler, reads every
// comment and picture and serialises the frames; each way must end in `problem` ("" for a
// complete read).
void ExpectReadOutcome(const char* name, const std::string& problem) {
  const std::string file = Input(name);
  for (bool fullSeek : {false, true}) {
    for (bool decrypt : {false, true}) {
      TID3Engine e;
      e.SetReadOnly(true);
      e.SetFullID3TagSeek(fullSeek);
      if (decrypt)
        e.OnFrameDecrypt = [](TID3Frames_Item&, TStream& s) {
          auto& m = static_cast<TMemoryStream&>(s);
          std::string bytes = m.Bytes();
          for (char& ch : bytes) ch = static_cast<char>(ch ^ 0x5A);
          m.SetBytes(bytes);
        };
      e.SetFileName(file);
      e.SetActive(true);
      ASSERT_TRUE(e.Active()) << name;
      EXPECT_EQ(e.Status().readReport.problem, problem) << name;
      EXPECT_EQ(e.Status().readReport.complete, problem.empty()) << name;
      TID3Comment c;
      for (int i = 0; e.GetComment(i, c); ++i) {
      }
      TMemoryStream data;
      TID3Picture p;
      for (int i = 0; e.GetPicture(i, data, p); ++i) {
      }
      TMemoryStream out;
      e.Frames().WriteFrames(out, 4);
    }
  }
}

TEST(Crashers, ZlibPresetDictionaryHang) {
  // The header's size is not sync-safe, nor is the frame's: nothing reaches the inflater.
  ExpectReadOutcome("zlib-preset-dictionary-hang.mp3",
                    "Frame APIC at byte 10: its size field is not a sync-safe integer");
}

TEST(Crashers, ID3v1TrailerWriteFailsPartWay) {
  ExpectReadOutcome(
      "id3v1-trailer-write-fails-part-way.mp3",
      "Frame TRCK at byte 10: its size (14680074 bytes) runs past the end of the tag");
}

TEST(Crashers, VersionChangeExtraZeroAfterDescription) {
  // A second zero byte after a UTF-8 description, which readers skip, must not become part of
  // the value when the frame is re-encoded as UTF-16 for an ID3v2.3 tag.
  ExpectReadOutcome("version-change-extra-zero-after-description.mp3", "");
  TID3Engine e;
  e.SetReadOnly(true);
  e.SetFileName(Input("version-change-extra-zero-after-description.mp3"));
  e.SetActive(true);
  TID3Comment before, after;
  TID3Url linkBefore, linkAfter;
  ASSERT_TRUE(e.GetComment(0, before));
  ASSERT_TRUE(e.GetURL(0, linkBefore));
  ChangeTagVersion(e.Tag(), 3);
  ASSERT_TRUE(e.GetComment(0, after));
  ASSERT_TRUE(e.GetURL(0, linkAfter));
  EXPECT_EQ(after.TextUtf8, before.TextUtf8);
  EXPECT_FALSE(after.TextUtf8.empty());
  EXPECT_EQ(linkAfter.URLUtf8, linkBefore.URLUtf8);
}

TEST(Crashers, DamagedFrameGivenFlags) {
  // A frame whose flags announce more optional bytes than its size holds is kept as it was;
  // flags given to it afterwards make it a frame of its own again, written with them.
  // Its header counts more bytes than the file has: said first.
  ExpectReadOutcome("damaged-frame-given-flags.mp3",
                    "The tag runs past the end of the file: its header counts 62 bytes after it, "
                    "the file ends 21 bytes after it; 10 bytes at byte 21 after the last frame "
                    "are not padding");
  const std::filesystem::path copy =
      std::filesystem::temp_directory_path() / "tagscope-damaged-frame-given-flags.mp3";
  std::filesystem::copy_file(Input("damaged-frame-given-flags.mp3"), copy,
                             std::filesystem::copy_options::overwrite_existing);
  {
    TID3Engine e;
    e.SetFileName(copy.string());
    e.SetActive(true);
    ASSERT_TRUE(e.Frames().Items(0).Damaged());
    e.Frames().Items(0).SetCompress(true);
    e.Options().forceWrite = true;
    e.WriteTag();
  }
  TID3Engine r;
  r.SetReadOnly(true);
  r.SetFileName(copy.string());
  r.SetActive(true);
  EXPECT_TRUE(r.Frames().Items(0).Compress());
  EXPECT_FALSE(r.Frames().Items(0).Damaged());
  r.SetActive(false);
  std::filesystem::remove(copy);
}

TEST(Crashers, DamagedFrameVersionChange) {
  // A damaged frame of a version 4 tag written into a version 3 one: its flag bytes, which mean
  // other things there, are not carried over.
  const std::filesystem::path copy =
      std::filesystem::temp_directory_path() / "tagscope-damaged-frame-version-change.mp3";
  std::filesystem::copy_file(Input("damaged-frame-version-change.mp3"), copy,
                             std::filesystem::copy_options::overwrite_existing);
  {
    TID3Engine e;
    e.SetFileName(copy.string());
    e.SetActive(true);
    ASSERT_TRUE(e.Frames().Items(0).Damaged());
    ChangeTagVersion(e.Tag(), 3);
    e.Options().forceWrite = true;
    e.WriteTag();
  }
  TID3Engine r;
  r.SetReadOnly(true);
  r.SetFileName(copy.string());
  r.SetActive(true);
  const TID3Frames_Item& f = r.Frames().Items(0);
  EXPECT_FALSE(f.ReadOnly() || f.FileAlterDiscardable() || f.TagAlterDiscardable() || f.Damaged());
  r.SetActive(false);
  std::filesystem::remove(copy);
}

TEST(Crashers, EveryRegressionInputHasANamedTest) {
  // A file added to the folder without a test of its own fails here.
  const std::set<std::string> named = {
      "zlib-preset-dictionary-hang.mp3", "id3v1-trailer-write-fails-part-way.mp3",
      "version-change-extra-zero-after-description.mp3", "damaged-frame-given-flags.mp3",
      "damaged-frame-version-change.mp3"};
  for (const auto& entry : std::filesystem::directory_iterator(
           std::filesystem::path(TAGSCOPE_TEST_DATA) / "crashers" / "engine"))
    EXPECT_TRUE(named.count(entry.path().filename().string())) << entry.path();
}

}  // namespace
}  // namespace tagscope
