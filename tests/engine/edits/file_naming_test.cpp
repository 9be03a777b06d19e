// Names from tags and tags from names: the rules a file system or a tag could break.
#include "tagscope/engine/file_naming.h"

#include <gtest/gtest.h>

#include "tagscope/engine/genre.h"
#include "tagscope/rtl/exception.h"

namespace tagscope {
namespace {

using F = TNameField;

TEST(FileNaming, GenreReferencesReadAsNames) {
  using V = std::vector<std::string>;
  EXPECT_EQ(GenreNames({"(17)"}), V{"Rock"});
  EXPECT_EQ(GenreNames({"(17)Rock"}), V{"Rock"});
  EXPECT_EQ(GenreNames({"(4)Eurodisco"}), V{"Eurodisco"});
  EXPECT_EQ(GenreNames({"(17)(4)"}), (V{"Rock", "Disco"}));
  EXPECT_EQ(GenreNames({"17", "Rock", "RX"}), (V{"Rock", "Remix"}));
  EXPECT_EQ(GenreNames({"((Not a reference)"}), V{"(Not a reference)"});
  // Numbers past the list, and texts that only look like references, stay as written.
  EXPECT_EQ(GenreNames({"(200)"}), V{"(200)"});
  EXPECT_EQ(GenreNames({"(17"}), V{"(17"});
  EXPECT_EQ(GenreNames({"999999999999"}), V{"999999999999"});
}

TEST(FileNaming, ComponentsAreSafeAndCutOnCharacters) {
  EXPECT_EQ(SafeNameComponent("Com1", ""), "Com1_");
  EXPECT_EQ(SafeNameComponent("aux.tar", ".mp3"), "aux_.tar.mp3");
  EXPECT_EQ(SafeNameComponent("COM10", ""), "COM10");
  EXPECT_EQ(SafeNameComponent("End. ", ""), "End__");
  EXPECT_EQ(SafeNameComponent("", ".mp3"), "_.mp3");
  // A four-byte character never split: 10 bytes of room take two of them, not two and a half.
  EXPECT_EQ(SafeNameComponent("\xF0\x9F\x8E\xB5\xF0\x9F\x8E\xB5\xF0\x9F\x8E\xB5", ".mp3", 14),
            "\xF0\x9F\x8E\xB5\xF0\x9F\x8E\xB5.mp3");
  EXPECT_EQ(NameExtension("dir.v2/song"), "");
  EXPECT_EQ(NameExtension(".hidden"), "");
  EXPECT_EQ(NameExtension("a.b.MP3"), ".MP3");
  EXPECT_EQ(NameExtension("a.m p3"), "");
}

TEST(FileNaming, ExpandingNamesTheMissingFields) {
  const TNameFormat format("%{artist}/%{track:03}. %{title}");
  EXPECT_EQ(format.Depth(), 1u);
  EXPECT_EQ(format.Expand({{F::nfArtist, "A/B"}, {F::nfTrack, "7"}, {F::nfTitle, "T"}}, ".mp3"),
            "A_B/007. T.mp3");
  // A track that is no number is not padded.
  EXPECT_EQ(format.Expand({{F::nfArtist, "A"}, {F::nfTrack, "A1"}, {F::nfTitle, "T"}}, ""),
            "A/A1. T");
  try {
    format.Expand({{F::nfTrack, "1"}}, ".mp3");
    FAIL();
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "The tag has no artist, title");
  }
}

TEST(FileNaming, MatchingNames) {
  const TNameFormat format("%{track} - %{artist} - %{title}");
  const auto values = format.Match("007 - A - B - C");
  ASSERT_TRUE(values);
  EXPECT_EQ(values->at(F::nfTrack), "7");
  EXPECT_EQ(values->at(F::nfArtist), "A");
  EXPECT_EQ(values->at(F::nfTitle), "B - C");
  EXPECT_FALSE(format.Match("x - A - B"));
  EXPECT_FALSE(format.Match("1 - A"));
  EXPECT_FALSE(format.Match("1 -  - B"));  // an empty artist
  // A field named twice must read the same both times.
  const TNameFormat twice("%{artist} - %{title} (%{artist})");
  EXPECT_EQ(twice.Match("A - B (C) (A)")->at(F::nfTitle), "B (C)");
  EXPECT_FALSE(twice.Match("A - B (C)"));
  // Many fields over a long name that does not match end in bounded time.
  const TNameFormat many("%{artist} %{album} %{title} %{genre} %{albumartist} x%{year}");
  EXPECT_FALSE(many.Match(std::string(240, ' ') + "y"));
}

}  // namespace
}  // namespace tagscope
