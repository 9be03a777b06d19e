#include <gtest/gtest.h>

#include "engine/text/number_text.h"
#include "tagscope/engine/genre.h"
#include "tagscope/engine/id3_engine.h"
#include "tagscope/engine/shown_fields.h"
#include "tagscope/rtl/ascii_case.h"
#include "tagscope/rtl/exception.h"
#include "tests/engine/tag_builder.h"

namespace tagscope {
namespace {

using namespace test;
using namespace std::string_literals;

std::string Trailer(const std::string& title, const std::string& artist, const std::string& album,
                    const std::string& year, const std::string& comment, int track, int genre) {
  std::string t(128, '\0');
  auto put = [&](size_t at, size_t width, const std::string& s) {
    t.replace(at, std::min(width, s.size()), s.substr(0, width));
  };
  put(0, 3, "TAG");
  put(3, 30, title);
  put(33, 30, artist);
  put(63, 30, album);
  put(93, 4, year);
  put(97, 29, comment);
  t[126] = static_cast<char>(track);
  t[127] = static_cast<char>(genre);
  return t;
}

struct Opened {
  explicit Opened(const std::string& bytes, bool readOnly = true) : file(bytes) {
    engine.SetReadOnly(readOnly);
    engine.SetFileName(file.Name());
    engine.SetActive(true);
  }
  ScopedFile file;
  TID3Engine engine;
};

TEST(ID3v1Import, FieldsCommentTrackAndGenre) {
  Opened o(std::string(500, 'a') +
           Trailer("Song", "  Band" + std::string(24, ' '), "", "1999", "nice", 3, 17));
  TID3Engine& e = o.engine;
  EXPECT_EQ(e.Title(), "Song");
  EXPECT_EQ(e.Artist(), "Band");
  EXPECT_EQ(e.Album(), "");
  EXPECT_EQ(e.Year(), "1999");
  EXPECT_EQ(e.Track(), "3");
  // The genre goes into the content type, where other programs look; the content group stays
  // empty and the viewer still shows the genre by its name.
  EXPECT_EQ(e.GetFrameText("TCON"), "(17)");
  EXPECT_EQ(e.FrameCount("TIT1"), 0);
  EXPECT_EQ(ShownGenre(e.Tag()), "(17) Rock");
  TID3Comment c;
  ASSERT_TRUE(e.GetComment(0, c));
  EXPECT_EQ(c.Language, "ENG");
  EXPECT_EQ(c.Description, "MAIN");
  EXPECT_EQ(c.Text, "nice");
  EXPECT_EQ(e.Padding(), 250);
  EXPECT_TRUE(e.Header().ExtendedHeaderPresent());
  EXPECT_TRUE(e.Header().ExtendedHeader().TagIsAnUpdate());
  EXPECT_EQ(e.Status().place.size, 0);
  // Album, Artist, Title, Year, comment, Track, Genre: in that order.
  ASSERT_EQ(e.Frames().Count(), 7);
  EXPECT_EQ(e.Frames().Items(0).Name(), "TALB");
  EXPECT_EQ(e.Frames().Items(4).Name(), "COMM");
}

// A library user's write of an imported trailer puts the frames other taggers write: the
// viewer's form of the import stays in memory until then.
TEST(ID3v1Import, AWriteSettlesTheImport) {
  Opened o(std::string(500, 'a') + Trailer("Song", "", "", "1999", "nice", 0, 17), false);
  TID3Engine& e = o.engine;
  EXPECT_EQ(e.Year(), "1999");
  e.SetArtist("Band");
  e.WriteTag();
  Opened again(o.file.Contents());
  std::vector<std::string> ids;
  for (int i = 0; i < again.engine.Frames().Count(); ++i)
    ids.push_back(again.engine.Frames().Items(i).Name());
  EXPECT_EQ(ids, (std::vector<std::string>{"TPE1", "TIT2", "TDRC", "COMM", "TCON"}));
  TID3Comment c;
  ASSERT_TRUE(again.engine.GetComment(0, c));
  EXPECT_EQ(std::make_tuple(c.Language, c.Description, c.Text),
            std::make_tuple("eng"s, ""s, "nice"s));
  EXPECT_FALSE(again.engine.Status().id3v1Imported);
}

TEST(ID3v1Import, GenreBytesOutsideTheListAndMissingTrailers) {
  Opened g0(Trailer("", "", "", "", "", 0, 0));
  EXPECT_EQ(ShownGenre(g0.engine.Tag()), "(0) Blues");
  EXPECT_EQ(g0.engine.Track(), "0");
  // An entry of the list, and the bytes past it.
  Opened last(Trailer("", "", "", "", "", 1, 79));
  EXPECT_EQ(ShownGenre(last.engine.Tag()), "(79) Hard Rock");
  for (int genre : {192, 255}) {
    Opened o(Trailer("", "", "", "", "", 1, genre));
    EXPECT_EQ(o.engine.FrameCount("TCON"), 0);
  }
  Opened none(std::string(300, 'x'));
  EXPECT_EQ(none.engine.Frames().Count(), 0);
  EXPECT_EQ(none.engine.Padding(), 0);
  // Shorter than a trailer: nothing is read before the file's start.
  Opened tiny("TAG" + std::string(50, 'y'));
  EXPECT_EQ(tiny.engine.Frames().Count(), 0);
}

// The genre numbers 0 to 191 through a trailer and back, under the list's spelling and another
// tagger's; numbers past the list are no genre.
struct GenreCase {
  int number;
  const char* name;   // the list's spelling; "" past the list
  const char* other;  // how other taggers spell it
};

class GenreNumbers : public ::testing::TestWithParam<GenreCase> {};

TEST_P(GenreNumbers, ImportExportAndNames) {
  const GenreCase& c = GetParam();
  Opened in(std::string(10, 'a') + Trailer("", "", "", "", "", 1, c.number));
  const std::string name = c.name;
  EXPECT_EQ(ShownGenre(in.engine.Tag()), name.empty() ? "" : Format("(%d) %s", c.number, c.name));
  EXPECT_EQ(in.engine.FrameCount("TCON"), name.empty() ? 0 : 1);
  if (name.empty()) {
    EXPECT_FALSE(TGenre::FromNumber(c.number));
    EXPECT_FALSE(TGenre::FromName(c.other));
    return;
  }
  EXPECT_EQ(TGenre::FromNumber(c.number)->Name(), name);
  for (const std::string& spelling : {name, std::string(c.other), AsciiUpperCase(c.other)}) {
    EXPECT_EQ(TGenre::FromName(spelling)->Number(), c.number) << spelling;
    Opened out(std::string(10, 'a'), false);
    out.engine.SetFrameText("TCON", spelling);
    out.engine.SaveID3V1();
    EXPECT_EQ(static_cast<uint8_t>(out.file.Contents()[10 + 127]), c.number) << spelling;
  }
}

INSTANTIATE_TEST_SUITE_P(
    ID3v1, GenreNumbers,
    ::testing::Values(GenreCase{0, "Blues", "blues"}, GenreCase{29, "Jazz + Funk", "Jazz-Funk"},
                      GenreCase{40, "AlternRock", "Alt. Rock"},
                      GenreCase{67, "Psychadelic", "Psychedelic"},
                      GenreCase{79, "Hard Rock", "hard rock"}, GenreCase{80, "Folk", "folk"},
                      GenreCase{81, "Folk-Rock", "Folk Rock"}, GenreCase{131, "Indie", "INDIE"},
                      GenreCase{133, "Afro-Punk", "Worldbeat"},
                      GenreCase{147, "Synthpop", "SynthPop"},
                      GenreCase{191, "Psybient", "psybient"}, GenreCase{192, "", "(192)"},
                      GenreCase{255, "", "Rock and Roll"}));

TEST(GenreNames, ReferencesPastTheFirstEightyAreNamed) {
  using V = std::vector<std::string>;
  EXPECT_EQ(GenreNames({"(17)(80)"}), (V{"Rock", "Folk"}));
  EXPECT_EQ(GenreNames({"131", "(191)"}), (V{"Indie", "Psybient"}));
  EXPECT_EQ(GenreNames({"(192)"}), V{"(192)"});
  EXPECT_EQ(ResolveGenreReference("(147)"), "(147) Synthpop");
}

TEST(ID3v1Import, AnOlderTrailerWithoutATrackKeepsItsWholeComment) {
  // A 30-character comment fills byte 126 too: its last letter is no track 100.
  Opened o(Trailer("", "", "", "", std::string(29, 'c'), 'd', 17));
  TID3Comment c;
  ASSERT_TRUE(o.engine.GetComment(0, c));
  EXPECT_EQ(c.Text, std::string(29, 'c') + "d");
  EXPECT_EQ(o.engine.FrameCount("TRCK"), 0);
  EXPECT_EQ(ShownGenre(o.engine.Tag()), "(17) Rock");
}

TEST(ID3v1Export, WritesFieldsAndNumbers) {
  Opened o(std::string(1000, 'a') + Trailer("old", "", "", "", "", 0, 0), false);
  TID3Engine& e = o.engine;
  e.SetTitle(std::string(40, 'T'));
  e.SetArtist("Artist");
  e.SetAlbum("Album");
  e.SetYear("2024");
  e.SetTrack("5");
  e.SetGenre("(17) Rock");
  e.SaveID3V1();
  std::string bytes = o.file.Contents();
  ASSERT_EQ(bytes.size(), 1128u);  // the old trailer is replaced
  const std::string t = bytes.substr(1000);
  EXPECT_EQ(t.substr(0, 3), "TAG");
  EXPECT_EQ(t.substr(3, 30), std::string(30, 'T'));
  EXPECT_EQ(t.substr(33, 30), "Artist" + std::string(24, '\0'));
  EXPECT_EQ(t.substr(93, 4), "2024");
  EXPECT_EQ(t.substr(97, 29), std::string(29, '\0'));
  EXPECT_EQ(t[126], 5);
  EXPECT_EQ(t[127], 17);
}

// The first comment goes into the trailer: 28 bytes and a zero beside a track number, 29
// without one (a 30th in byte 126 would read as a track to some readers); what an import
// reads back.
TEST(ID3v1Export, WritesTheFirstComment) {
  for (const std::string track : {"5", ""}) {
    Opened o(std::string(10, 'a'), false);
    TID3Engine& e = o.engine;
    e.SetTrack(track);
    e.AddComment("", std::string(26, 'c') + "defgh", "eng");
    e.AddComment("", "second", "eng");
    e.SaveID3V1();
    const std::string t = o.file.Contents().substr(10);
    const size_t width = track.empty() ? 29 : 28;
    EXPECT_EQ(t.substr(97, width), (std::string(26, 'c') + "defgh").substr(0, width));
    EXPECT_EQ(t.substr(125, 2), track.empty() ? "f\0"s : "\0\x05"s);
    e.Frames().Clear();
    e.LoadID3V1();
    TID3Comment c;
    ASSERT_TRUE(e.GetComment(0, c));
    EXPECT_EQ(c.Text, t.substr(97, width));
  }
}

TEST(ID3v1Export, GenreAndTrackTexts) {
  // As other taggers write the trailer: byte 255 is "no genre" (0 is "Blues"), and a track
  // "3/12" is track 3.
  struct Case {
    std::string genre, contentType, track;
    int genreByte, trackByte;
  };
  for (const Case& c : std::vector<Case>{{"Rock", "", "5/12", 17, 5},
                                         {"hip-hop", "", " 7", 7, 7},
                                         {"(300)", "", "$1F", 255, 31},
                                         {")x(12)", "", "0x10/12", 12, 16},
                                         {"(80)Folk", "", "300", 80, 0},
                                         {"(12", "", "-3", 255, 0},
                                         {"", "", "", 255, 0},
                                         {"", "Rock", "/12", 17, 0},
                                         {"", "17", "3/", 17, 3},
                                         {"", "(79)", "x", 79, 0},
                                         {"", "Rock and more", "", 255, 0}}) {
    Opened o(std::string(10, 'a'), false);
    if (!c.genre.empty()) o.engine.SetGenre(c.genre);
    if (!c.contentType.empty()) o.engine.SetFrameText("TCON", c.contentType);
    o.engine.SetTrack(c.track);
    o.engine.SaveID3V1();
    const std::string bytes = o.file.Contents();
    ASSERT_EQ(bytes.size(), 138u);  // a short file gets the trailer appended
    EXPECT_EQ(bytes.substr(0, 10), std::string(10, 'a'));
    EXPECT_EQ(static_cast<uint8_t>(bytes[10 + 127]), c.genreByte) << c.genre << c.contentType;
    EXPECT_EQ(static_cast<uint8_t>(bytes[10 + 126]), c.trackByte) << c.track;
  }
}

TEST(ID3v1Export, InactiveEngineDoesNothing) {
  TID3Engine e;
  e.SaveID3V1();
  e.LoadID3V1();
  EXPECT_EQ(e.Frames().Count(), 0);
}

TEST(NumberText, RunTimeLibraryIntegerRules) {
  int32_t v = 0;
  EXPECT_TRUE(TryStrToInt("  -12", v));
  EXPECT_EQ(v, -12);
  EXPECT_TRUE(TryStrToInt("0x1f", v));
  EXPECT_EQ(v, 31);
  EXPECT_TRUE(TryStrToInt("$FFFFFFFF", v));
  EXPECT_EQ(v, -1);
  EXPECT_TRUE(TryStrToInt("-2147483648", v));
  EXPECT_FALSE(TryStrToInt("2147483648", v));
  EXPECT_FALSE(TryStrToInt("5 ", v));
  EXPECT_FALSE(TryStrToInt("", v));
  EXPECT_FALSE(TryStrToInt("-", v));
  EXPECT_EQ(StrToIntDef("5/12", 9), 9);
}

}  // namespace
}  // namespace tagscope
