// The blocks behind the audio on files built byte by byte: every shape real writers make is found
// exactly, and every shape whose sizes, markers or audio lie is found damaged and never cut.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tagscope/engine/id3_engine.h"
#include "tagscope/engine/trailer_tags.h"
#include "tagscope/rtl/exception.h"
#include "tagscope/rtl/stream.h"
#include "tests/engine/write_test_support.h"

namespace tagscope {
namespace {

using namespace test;
using namespace std::string_literals;

std::string LE32(uint32_t v) {
  return {static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
          static_cast<char>(v >> 24)};
}

std::string Item(const std::string& key, const std::string& value, uint32_t flags = 0) {
  return LE32(static_cast<uint32_t>(value.size())) + LE32(flags) + key + '\0' + value;
}

// An APE tag as its writers lay it out, or with its fields made to lie.
struct TApe {
  std::vector<std::string> items;
  bool header = true;
  uint32_t version = 2000;
  int sizeDelta = 0;         // added to the size both header and footer give
  int countDelta = 0;        // added to the count both give
  int headerCountDelta = 0;  // added to the header's count only
  bool flagHeader = false;   // the footer's flags claim a header that is not written

  std::string Bytes() const {
    std::string body;
    for (const std::string& i : items) body += i;
    const auto size = static_cast<uint32_t>(body.size() + 32 + sizeDelta);
    const auto count = static_cast<uint32_t>(items.size() + countDelta);
    const uint32_t flags = header || flagHeader ? 1u << 31 : 0;
    auto block = [&](uint32_t n, uint32_t f) {
      return "APETAGEX" + LE32(version) + LE32(size) + LE32(n) + LE32(f) + std::string(8, '\0');
    };
    return (header ? block(count + headerCountDelta, flags | 1u << 29) : "") + body +
           block(count, flags);
  }
};

std::string Lyrics3v2(int sizeDelta = 0) {
  const std::string body =
      "LYRICSBEGININD00002"
      "10"
      "LYR00005"
      "words";
  const std::string digits = std::to_string(body.size() + sizeDelta);
  return body + std::string(6 - digits.size(), '0') + digits + "LYRICS200";
}

const std::string kV1 = "TAG" + std::string(125, 'v');
// MPEG-1 layer III frames, 128 kbit/s at 44.1 kHz: 417 bytes each.
const std::string kFrame = "\xff\xfb\x90\x64" + std::string(413, '\0');

std::string Frames(int n) {
  std::string audio;
  for (int i = 0; i < n; ++i) audio += kFrame;
  return audio;
}

const std::string kAudio = Frames(20);
const std::vector<std::string> kGain = {Item("MP3GAIN_UNDO", "+003,+003,N"),
                                        Item("MP3GAIN_MINMAX", "140,210")};
const std::vector<std::string> kTexts = {Item("Title", "Song"), Item("Artist", "One\0Two"s),
                                         Item("Cover Art (Front)", "c.jpg\0\xff\xd8"s, 2)};

// A file: the audio, then blocks in file order ('A' APE, 'L' Lyrics3, 'V' ID3v1).
struct TShape {
  std::string name;
  std::string audio;
  std::vector<std::pair<char, std::string>> blocks;
  char damaged = 0;      // the block found damaged; 0: every block proven
  std::string why = {};  // a part of the damage's reason

  std::string File() const {
    std::string file = audio;
    for (const auto& b : blocks) file += b.second;
    return file;
  }
  TFileRange Place(char kind) const {
    int64_t at = static_cast<int64_t>(audio.size());
    for (const auto& [k, bytes] : blocks) {
      if (k == kind) return {at, static_cast<int64_t>(bytes.size())};
      at += static_cast<int64_t>(bytes.size());
    }
    return {-1, 0};
  }
};

void PrintTo(const TShape& s, std::ostream* out) {
  *out << s.name;
}

// Frames whose last one runs on into the APE tag, a frame header waiting where it ends: the tag
// would lie within the audio.
TShape RunsOn() {
  const std::string audio = Frames(19) + kFrame.substr(0, 100);
  const std::string value = std::string(304, '\0') + "\xff\xfb\x90\x64" + std::string(20, '\0');
  return {"frames run on into it",
          audio,
          {{'A', TApe{{Item("Data", value, 2)}, false}.Bytes()}},
          'A',
          "run on past"};
}

// A footer that counts one item less than the tag holds, its size one item short.
TShape OneItemUncounted() {
  const std::string first = Item("Title", "Song"), rest = Item("Artist", "Band");
  const std::string tag = first + TApe{{rest}, false}.Bytes();
  return {
      "footer size short by a whole item", kAudio, {{'A', tag}}, 'A', "neither audio nor zeros"};
}

std::vector<TShape> Shapes() {
  return {
      {"APEv2 with header and footer", kAudio, {{'A', TApe{kTexts}.Bytes()}}},
      {"APEv2 footer only, as mp3gain's undo tag", kAudio, {{'A', TApe{kGain, false}.Bytes()}}},
      {"APEv1", kAudio, {{'A', TApe{kGain, false, 1000}.Bytes()}}},
      {"APE before ID3v1", kAudio, {{'A', TApe{kTexts}.Bytes()}, {'V', kV1}}},
      {"Lyrics3v2 between APE and ID3v1",
       kAudio,
       {{'A', TApe{kGain, false}.Bytes()}, {'L', Lyrics3v2()}, {'V', kV1}}},
      {"Lyrics3v2 below APE",
       kAudio,
       {{'L', Lyrics3v2()}, {'A', TApe{kGain, false}.Bytes()}, {'V', kV1}}},
      {"Lyrics3v1 before ID3v1", kAudio, {{'L', "LYRICSBEGINold words LYRICSEND"}, {'V', kV1}}},
      {"zeros after the last frame",
       kAudio + std::string(50, '\0'),
       {{'A', TApe{kGain, false}.Bytes()}}},
      {"last frame cut short",
       Frames(19) + kFrame.substr(0, 200),
       {{'A', TApe{kGain, false}.Bytes()}}},
      {"an ID3v1 trailer left below", kAudio + kV1, {{'A', TApe{kGain, false}.Bytes()}}},
      {"audio that is no MPEG", std::string(3000, 'U'), {{'A', TApe{kGain, false}.Bytes()}}},
      {"footer size too large",
       kAudio,
       {{'A', TApe{kTexts, true, 2000, 8}.Bytes()}},
       'A',
       "no APETAGEX header"},
      {"footer size too large, no header",
       kAudio,
       {{'A', TApe{kGain, false, 2000, 8}.Bytes()}},
       'A',
       "item 0"},
      {"footer size too small",
       kAudio,
       {{'A', TApe{kTexts, true, 2000, -4}.Bytes()}, {'V', kV1}},
       'A',
       "no APETAGEX header"},
      {"footer size too small, no header",
       kAudio,
       {{'A', TApe{kGain, false, 2000, -4}.Bytes()}},
       'A',
       "item"},
      OneItemUncounted(),
      {"header flag without header",
       kAudio,
       {{'A', TApe{kGain, false, 2000, 0, 0, 0, true}.Bytes()}},
       'A',
       "no APETAGEX header"},
      {"item count too large",
       kAudio,
       {{'A', TApe{kTexts, true, 2000, 0, 1}.Bytes()}},
       'A',
       "item 3"},
      {"item count too small",
       kAudio,
       {{'A', TApe{kGain, false, 2000, 0, -1}.Bytes()}},
       'A',
       "items end at byte"},
      {"item count beyond the bytes",
       kAudio,
       {{'A', TApe{kGain, false, 2000, 0, 1000}.Bytes()}},
       'A',
       "more than its"},
      {"header and footer disagree",
       kAudio,
       {{'A', TApe{kTexts, true, 2000, 0, 0, 1}.Bytes()}},
       'A',
       "disagrees"},
      {"Lyrics3v2 size too large",
       kAudio,
       {{'L', Lyrics3v2(3)}, {'V', kV1}},
       'L',
       "no LYRICSBEGIN"},
      {"Lyrics3v2 size too small",
       kAudio,
       {{'L', Lyrics3v2(-3)}, {'V', kV1}},
       'L',
       "no LYRICSBEGIN"},
      {"Lyrics3v1 without its start",
       kAudio,
       {{'L', "old words LYRICSEND"}},
       'L',
       "no LYRICSBEGIN"},
      RunsOn(),
  };
}

class TrailerShapes : public ::testing::TestWithParam<TShape> {};

// Where each block of the shape was found, and whether it was proven.
struct TFound {
  bool present = false;
  TFileRange place;
  std::string damage;
};

TFound Found(const TTrailerTags& t, char kind) {
  if (kind == 'A') return {t.Ape.Present, t.Ape.Place, t.Ape.Damage};
  if (kind == 'L') return {t.Lyrics3.Present, t.Lyrics3.Place, t.Lyrics3.Damage};
  return {t.ID3v1, t.ID3v1Place, {}};
}

TEST_P(TrailerShapes, ProvenBlocksAreFoundExactlyAndDamagedOnesNeverCut) {
  const TShape& s = GetParam();
  const std::string file = s.File();
  TMemoryStream stream(file);
  const TTrailerTags t = ReadTrailerTags(stream, stream.Size(), 0);
  std::vector<TFileRange> proven;
  for (const auto& [kind, bytes] : s.blocks) {
    const TFound f = Found(t, kind);
    ASSERT_TRUE(f.present) << kind;
    if (kind == s.damaged) {
      EXPECT_NE(f.damage.find(s.why), std::string::npos) << f.damage;
      continue;
    }
    EXPECT_EQ(f.damage, "") << kind;
    EXPECT_EQ(f.place, s.Place(kind)) << kind;
    proven.push_back(f.place);
  }
  // Blocks below a damaged one are not looked for; with none, the audio ends where they begin.
  if (!s.damaged) {
    EXPECT_EQ(t.Start, static_cast<int64_t>(s.audio.size()));
  }
  std::vector<TFileRange> all = t.AllRanges();
  std::sort(all.begin(), all.end(),
            [](const TFileRange& a, const TFileRange& b) { return a.Offset < b.Offset; });
  std::sort(proven.begin(), proven.end(),
            [](const TFileRange& a, const TFileRange& b) { return a.Offset < b.Offset; });
  EXPECT_EQ(all, proven);
  if (!s.damaged) return;

  // An erase of every block cuts the proven ones and leaves the damaged one's bytes where they
  // were, right after the audio.
  ScratchFolder dir;
  const std::string name = dir.Put("a.mp3", file);
  TestEngine e;
  e.Open(name);
  e.EraseTag(ReadTrailerTags(e).AllRanges());
  std::string left = s.audio;
  for (const auto& [kind, bytes] : s.blocks)
    if (kind == s.damaged) left += bytes;
  EXPECT_EQ(ReadFile(name), left);
}

// A file opened for reading only finds its blocks once, for the audio facts and the blocks'
// contents, in the last bytes its reads keep: the places are a stream's.
TEST_P(TrailerShapes, AReadOnlyOpenFindsThePlacesAStreamDoes) {
  const std::string file = GetParam().File();
  TMemoryStream stream(file);
  const TTrailerTags want = ReadTrailerTags(stream, stream.Size(), 0);
  ScratchFolder dir;
  TID3Engine e;
  e.SetReadOnly(true);
  e.SetFileName(dir.Put("a.mp3", file));
  e.SetActive(true);
  const TMpegAudioProperties audio = e.ReadAudio();
  const TTrailerTags got = ReadTrailerTags(e);
  EXPECT_EQ(got.Start, want.Start);
  EXPECT_EQ(audio.audioEnd, want.Start);
  EXPECT_EQ(audio.apeTag, want.Ape.Present && want.Ape.Damage.empty());
  EXPECT_EQ(audio.lyrics3, want.Lyrics3.Present && want.Lyrics3.Damage.empty());
  EXPECT_EQ(audio.id3v1, want.ID3v1);
  for (const char kind : {'A', 'L', 'V'}) {
    EXPECT_EQ(Found(got, kind).present, Found(want, kind).present) << kind;
    EXPECT_EQ(Found(got, kind).place, Found(want, kind).place) << kind;
    EXPECT_EQ(Found(got, kind).damage, Found(want, kind).damage) << kind;
  }
  EXPECT_EQ(got.Ape.Items.size(), want.Ape.Items.size());
  EXPECT_EQ(got.Lyrics3.Fields.size(), want.Lyrics3.Fields.size());
}

INSTANTIATE_TEST_SUITE_P(Shapes, TrailerShapes, ::testing::ValuesIn(Shapes()),
                         [](const auto& info) {
                           std::string name;
                           for (const char c : info.param.name)
                             name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                           return name;
                         });

// The tag's write that drops the APE tag (set --ape-to-id3), and an erase of the tag with every
// block behind the audio: stopped at any change to the disk, the next writer finds the file old
// or new, nothing beside it.
TEST(TrailerCuts, AStopAtAnyChangeLeavesTheOldOrTheNewFile) {
  // An ID3v2.4 tag of 22 bytes: TIT2 "Old", 8 bytes of padding.
  const std::string tag = "ID3\x04" + std::string(5, '\0') + "\x16TIT2" + std::string(3, '\0') +
                          "\x04" + std::string(2, '\0') + "\x03Old" + std::string(8, '\0');
  const std::string original = tag + kAudio + Lyrics3v2() + TApe{kGain, false}.Bytes() + kV1;
  const std::function<void(TID3Engine&)> changes[] = {
      [](TID3Engine& e) {
        e.SetTitleUtf8("New");
        e.Options().dropApeTag = true;
        e.WriteTag();
      },
      [](TID3Engine& e) { e.EraseTag(ReadTrailerTags(e).AllRanges()); },
  };
  for (const auto& change : changes) {
    const auto [expected, steps] =
        RunUnfaulted([&](const ScratchFolder& dir, const auto& files, TestEngine& e) {
          e.SetFileSystem(files);
          e.Open(dir.Put("a.mp3", original));
          change(e);
          return dir.Path("a.mp3");
        });
    // The APE tag goes with the Lyrics3 block beside it, the ID3v1 trailer with an erase.
    EXPECT_EQ(expected.find("APETAGEX"), std::string::npos);
    EXPECT_EQ(expected.find("LYRICS"), std::string::npos);
    EXPECT_NE(expected.find(kAudio), std::string::npos);
    for (int stopAt = 1; stopAt <= steps; ++stopAt) {
      SCOPED_TRACE("stopped at change " + std::to_string(stopAt) + " of " + std::to_string(steps));
      ScratchFolder dir;
      const std::string name = dir.Put("a.mp3", original);
      {
        TestEngine e;
        e.SetFileSystem(std::make_shared<FaultyFileSystem>(stopAt, true));
        e.Open(name);
        try {
          change(e);
        } catch (const Exception&) {
        }
      }
      TestEngine next;
      next.Open(name);
      const std::string now = ReadFile(name);
      EXPECT_TRUE(now == original || now == expected);
      EXPECT_EQ(dir.Files(), std::vector<std::string>{"a.mp3"});
    }
  }
}

}  // namespace
}  // namespace tagscope
