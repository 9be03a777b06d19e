// Text fields, comments, pictures and links, in all four text encodings; the two lists.
#include <gtest/gtest.h>

#include "tagscope/engine/frame_content.h"
#include "tagscope/engine/genre.h"
#include "tagscope/engine/id3_engine.h"
#include "tagscope/engine/id3_lists.h"
#include "tests/engine/tag_builder.h"

namespace tagscope {
namespace {

using namespace test;

struct OpenTag {
  explicit OpenTag(const std::string& body) : file(Tag(4, 0, body, 50)) {
    engine.SetReadOnly(true);
    engine.SetFileName(file.Name());
    engine.SetActive(true);
  }
  ScopedFile file;
  TID3Engine engine;
};

const std::string kUtf16Title = Bytes({1, 0xFF, 0xFE, 'S', 0, 0xF6, 0, 'n', 0, 'g', 0, 0, 0});

TEST(TextFields, EachPropertyReadsItsFrame) {
  OpenTag t(FrameV4("TALB", Text("Album")) + FrameV4("TPE1", Text("Artist")) +
            FrameV4("TENC", Text("Enc")) + FrameV4("TCON", Text("(17)")) +
            FrameV4("TIT3", Text("Sub")) + FrameV4("TIT2", Text(" First \0rest")) +
            FrameV4("TIT2", Text("Second")) + FrameV4("TRCK", Text("3/12")) +
            FrameV4("TYER", Text("1999")) + FrameV4("TDRC", Text("2001")));
  TID3Engine& e = t.engine;
  EXPECT_EQ(e.Album(), "Album");
  EXPECT_EQ(e.Artist(), "Artist");
  EXPECT_EQ(e.EncodedBy(), "Enc");
  EXPECT_EQ(e.Genre(), "");  // TIT1, not TCON
  EXPECT_EQ(e.SubTitle(), "Sub");
  EXPECT_EQ(e.Title(), "First");
  EXPECT_EQ(e.Track(), "3/12");
  EXPECT_EQ(e.Year(), "1999");
  EXPECT_EQ(e.FrameCount("TIT2"), 2);
  EXPECT_EQ(e.GetFrameText("TCON"), "(17)");

  e.SetTitle("New");
  EXPECT_EQ(e.Title(), "New");
  EXPECT_EQ(e.Frames().Items(6).AsText(), "Second");
  e.SetGenre("");
  ASSERT_NE(e.Frames().FindFrame("TIT1"), nullptr);
  EXPECT_EQ(e.Frames().FindFrame("TIT1")->Data().Bytes(), Bytes({0}));
}

TEST(TextFields, AllFourEncodings) {
  OpenTag t(FrameV4("TIT2", kUtf16Title) +
            FrameV4("TPE1", Bytes({2, 0, 'B', 0, 0xE4, 0, 'n', 0, 'd'})) +
            FrameV4("TALB", Bytes({3}) + "Caf\xC3\xA9 \xE2\x82\xAC" + Bytes({0}) + "other") +
            FrameV4("TENC", Bytes({0}) + "Caf\xE9"));
  EXPECT_EQ(t.engine.Title(), "S\xF6ng");
  EXPECT_EQ(t.engine.Artist(), "B\xE4nd");
  EXPECT_EQ(t.engine.Album(), "Caf\xE9 ?");
  EXPECT_EQ(t.engine.EncodedBy(), "Caf\xE9");
  EXPECT_EQ(t.engine.Frames().Items(0).AsText(), "S\xF6ng");
}

TEST(Comments, DescriptionTerminatorAndTheExtraZeroByte) {
  TID3Comment c = ParseComment(Bytes({0}) + "eng" + Bytes({0}) + "word" + Bytes({0}));
  EXPECT_EQ(c.Language, "eng");
  EXPECT_EQ(c.Description, "");
  EXPECT_EQ(c.Text, "word");
  c = ParseComment(Bytes({0}) + "eng" + Bytes({0, 0}) + "word" + Bytes({0}));
  EXPECT_EQ(c.Text, "word");
  c = ParseComment(Bytes({0}) + "ENG" + "MAIN" + Bytes({0, 0}) + "text");
  EXPECT_EQ(c.Description, "MAIN");
  EXPECT_EQ(c.Text, "text");
  // After a description of blanks only, no byte is skipped.
  c = ParseComment(Bytes({0}) + "ENG" + "  " + Bytes({0, 0}) + "text");
  EXPECT_EQ(c.Description, "");
  EXPECT_EQ(c.Text, "");
  // Fields without their terminator end at the payload's end.
  c = ParseComment(Bytes({0}) + "EN");
  EXPECT_EQ(c.Language, std::string("EN\0", 3));
  c = ParseComment(Bytes({0}) + "ENG" + "no terminator");
  EXPECT_EQ(c.Description, "no terminator");
  EXPECT_EQ(c.Text, "");
}

TEST(Comments, EncodedDescriptionsAndTexts) {
  const std::string utf16 = Bytes({1}) + "deu" + Bytes({0xFF, 0xFE, 'D', 0, 0, 0}) +
                            Bytes({0xFF, 0xFE, 0xFC, 0, 'b', 0, 0, 0});
  TID3Comment c = ParseComment(utf16);
  EXPECT_EQ(c.Description, "D");
  EXPECT_EQ(c.Text,
            "\xFC"
            "b");
  c = ParseComment(Bytes({2}) + "eng" + Bytes({0, 0}) + Bytes({0, 'h', 0, 'i'}));
  EXPECT_EQ(c.Description, "");
  EXPECT_EQ(c.Text, "hi");
  c = ParseComment(Bytes({3}) + "eng" + "d\xC3\xA9" + Bytes({0}) + "t\xC3\xA9");
  EXPECT_EQ(c.Description, "d\xE9");
  EXPECT_EQ(c.Text, "t\xE9");
}

TEST(Comments, EngineReadsAddsAndCounts) {
  OpenTag t(FrameV4("COMM", Bytes({0}) + "ENG" + "one" + Bytes({0}) + "first") +
            FrameV4("COMM", Bytes({0}) + "ENG" + "two" + Bytes({0}) + "second"));
  TID3Comment c;
  ASSERT_TRUE(t.engine.GetComment(1, c));
  EXPECT_EQ(c.Description, "two");
  EXPECT_FALSE(t.engine.GetComment(2, c));
  EXPECT_EQ(c.Language, std::string(3, '\0'));
  EXPECT_EQ(t.engine.AddComment("MAIN", "hello", "ENG"), 2);
  ASSERT_TRUE(t.engine.GetComment(2, c));
  EXPECT_EQ(c.Language, "ENG");
  EXPECT_EQ(c.Description, "MAIN");
  EXPECT_EQ(c.Text, "hello");
}

// The picture's fields and the bytes from the data offset on.
std::pair<TID3Picture, std::string> Picture(const std::string& payload) {
  size_t offset = 0;
  TID3Picture p = ParsePicture(payload, offset);
  return {p, payload.substr(offset)};
}

TEST(Pictures, FieldsAndData) {
  auto [p, data] =
      Picture(Bytes({0}) + "IMAGE/JPEG" + Bytes({0, 3}) + "cover" + Bytes({0}) + "\xFF\xD8");
  EXPECT_EQ(p.MimeType, "image/jpeg");
  EXPECT_EQ(p.PictureType, 3);
  EXPECT_EQ(p.Description, "cover");
  EXPECT_EQ(data, "\xFF\xD8");
  // Empty MIME type, empty description: the data starts right after the terminator.
  std::tie(p, data) = Picture(Bytes({0, 0, 4, 0, 0, 1, 2}));
  EXPECT_EQ(p.MimeType, "");
  EXPECT_EQ(p.PictureType, 4);
  EXPECT_EQ(p.Description, "");
  EXPECT_EQ(data, Bytes({0, 1, 2}));
  std::tie(p, data) = Picture(Bytes({0}) + "image/gif" + Bytes({0, 3}) + "d" + Bytes({0}));
  EXPECT_TRUE(data.empty());
  std::tie(p, data) = Picture(Bytes({0}) + "image/gif");  // no terminator
  EXPECT_EQ(p.MimeType, "image/gif");
  EXPECT_TRUE(data.empty());
  // A UTF-16 description ends at two zero bytes on its 2-byte boundary.
  std::tie(p, data) =
      Picture(Bytes({1}) + "image/png" + Bytes({0, 3, 0xFF, 0xFE, 'x', 0, 0, 0, 0x89, 'P'}));
  EXPECT_EQ(p.Description, "x");
  EXPECT_EQ(data, "\x89P");
}

TEST(Pictures, EngineFillsTheCallersStream) {
  OpenTag t(FrameV4("APIC", Bytes({0}) + "image/png" + Bytes({0, 3, 0}) + "PNGDATA"));
  TMemoryStream data(std::string("old bytes that are longer"));
  TID3Picture p;
  ASSERT_TRUE(t.engine.GetPicture(0, data, p));
  EXPECT_EQ(data.Bytes(), "PNGDATA");
  EXPECT_EQ(data.Position(), 7);
  TMemoryStream untouched(std::string("keep"));
  EXPECT_FALSE(t.engine.GetPicture(1, untouched, p));
  EXPECT_EQ(untouched.Bytes(), "keep");
}

TEST(Links, ReadersAndIndexing) {
  TID3Url u = ParseURL(Bytes({0}) + "home" + Bytes({0}) + "http://a.example/" + Bytes({0}) + "x");
  EXPECT_EQ(u.Description, "home");
  EXPECT_EQ(u.URL, "http://a.example/");
  u = ParseURL(Bytes({0, 0, 0}) + "http://b.example/");
  EXPECT_EQ(u.Description, "");
  EXPECT_EQ(u.URL, "http://b.example/");
  u = ParseURL(Bytes({1, 0xFF, 0xFE, 'h', 0, 0xE9, 0, 0, 0}) + "http://c.example/");
  EXPECT_EQ(u.Description, "h\xE9");
  EXPECT_EQ(u.URL, "http://c.example/");

  OpenTag t(FrameV4("WXXX", Bytes({0}) + "one" + Bytes({0}) + "http://1/") +
            FrameV4("WXXX", Bytes({0}) + "two" + Bytes({0}) + "http://2/") +
            FrameV4("WXXX", Bytes({0}) + "three" + Bytes({0}) + "http://3/"));
  ASSERT_TRUE(t.engine.GetURL(1, u));
  EXPECT_EQ(u.Description, "two");
  EXPECT_EQ(u.URL, "http://2/");
  EXPECT_FALSE(t.engine.GetURL(3, u));
  EXPECT_EQ(u.URL, "");
}

TEST(Lists, GenresByNumberNameAndReference) {
  EXPECT_EQ(TGenre::FromName("ROCK")->Text(), "(17) Rock");
  // Blanks and case do not count: other taggers spell "Jazz+Funk", "Hip-Hop".
  EXPECT_EQ(TGenre::FromName("jazz+funk")->Number(), 29);
  EXPECT_EQ(TGenre::FromName("Hip-Hop")->Name(), "Hip - Hop");
  EXPECT_FALSE(TGenre::FromName("Rock and Roll"));
  EXPECT_FALSE(TGenre::FromName(" "));
  EXPECT_FALSE(TGenre::FromNumber(-1));
  EXPECT_FALSE(TGenre::FromNumber(192));
  // The first "(" digits ")": not "(RX)", not one without digits or without its ")".
  const auto r = FindGenreReference("(RX)()(17)(18)Rock");
  ASSERT_TRUE(r);
  EXPECT_EQ(r->Number, 17u);
  EXPECT_EQ(r->Begin, 6u);
  EXPECT_EQ(r->End, 10u);
  EXPECT_FALSE(FindGenreReference("(12"));
  EXPECT_EQ(FindGenreReference("(99999999999)")->Number, 999999u);
}

TEST(Lists, GenresAndFrameNames) {
  ASSERT_EQ(Genres().size(), 192u);
  EXPECT_EQ(Genres()[0], "(0) Blues");
  EXPECT_EQ(Genres()[7], "(7) Hip - Hop");
  EXPECT_EQ(Genres()[40], "(40) AlternRock");
  EXPECT_EQ(Genres()[62], "(62) Pop / Funk");
  EXPECT_EQ(Genres()[67], "(67) Psychadelic");
  EXPECT_EQ(Genres()[79], "(79) Hard Rock");
  EXPECT_EQ(Genres()[191], "(191) Psybient");
  ASSERT_EQ(FrameNames().size(), 75u);
  EXPECT_EQ(FrameNames()[0], "COMM=Comments");
  EXPECT_EQ(FrameNames()[25], "TDRL=Release time");
  EXPECT_EQ(FrameNames()[62], "TYER=Year");
  EXPECT_EQ(FrameNames()[74], "WXXX=User defined URL link frame");
  EXPECT_EQ(FrameDisplayName("tit2"), "Title");
  EXPECT_EQ(FrameDisplayName("APIC"), "");
}

}  // namespace
}  // namespace tagscope

namespace tagscope {
namespace {

TEST(ExampleFile, ReadsTheBundledExample) {
  TID3Engine e;
  e.SetReadOnly(true);
  e.SetFileName(std::string(TAGSCOPE_TEST_DATA) + "/../../examples/example.mp3");
  e.SetActive(true);
  ASSERT_TRUE(e.Active());
  EXPECT_EQ(e.Header().VersionNumber(), 3);
  EXPECT_EQ(e.Title(), "Example Song");
  EXPECT_EQ(e.Genre(), "(12) Other");
  EXPECT_EQ(e.GetFrameText("TPOS"), "1/2");
  EXPECT_EQ(e.FrameCount("COMM"), 2);
  TMemoryStream bmp;
  TID3Picture picture;
  ASSERT_TRUE(e.GetPicture(0, bmp, picture));
  EXPECT_EQ(picture.MimeType, "image/bmp");
  EXPECT_EQ(bmp.Size(), 822);
  EXPECT_EQ(bmp.Bytes().substr(0, 2), "BM");
  TID3Url url;
  ASSERT_TRUE(e.GetURL(0, url));
  EXPECT_EQ(url.URL, "http://www.example.com/");
}

}  // namespace
}  // namespace tagscope
