// The "Details" page: audio facts, tag facts and the frames no other page shows.
#include "tagscope/engine/frame_names.h"
#include "tagscope/engine/id3_engine.h"
#include "tests/viewer/viewer_fixture.h"
#include "viewer/detail_rows.h"

namespace tagscope::test {
namespace {

class DetailsTest : public ViewerTest {
 protected:
  THeadlessListView& Details() { return AsHeadless<THeadlessListView>(frame->lvDetails); }

  // The rows as "Property=Value", a heading as "[Caption]".
  std::vector<std::string> Rows() {
    std::vector<std::string> rows;
    TListView& list = *frame->lvDetails;
    for (int i = 0; i < list.ItemCount(); ++i)
      rows.push_back(list.SubItemCount(i) == 0 ? "[" + list.ItemCaption(i) + "]"
                                               : list.ItemCaption(i) + "=" + list.SubItem(i, 0));
    return rows;
  }
  // The rows of one group, without its heading.
  std::vector<std::string> Group(const std::string& caption) {
    const std::vector<std::string> rows = Rows();
    std::vector<std::string> group;
    bool in = false;
    for (const std::string& row : rows) {
      if (row.front() == '[') {
        in = row == "[" + caption + "]";
        continue;
      }
      if (in) group.push_back(row);
    }
    return group;
  }
  int RowOf(std::string_view id) {
    const std::string name(FrameName(id));
    for (int i = 0; i < frame->lvDetails->ItemCount(); ++i)
      if (frame->lvDetails->ItemCaption(i) == name) return i;
    return -1;
  }
};

// The audio facts as the engine itself reads them from the same file.
TMpegAudioProperties EngineAudio(const std::string& fileName) {
  TID3Engine engine;
  engine.SetReadOnly(true);
  engine.SetFileName(fileName);
  engine.SetActive(true);
  return engine.ReadAudio();
}

TEST_F(DetailsTest, AFileWithEveryGroupListsAudioTagAndTheFramesLeftOutElsewhere) {
  TempFile file(DetailedMp3("Song"));
  frame->LoadFile(file.Name());

  const TMpegAudioProperties a = EngineAudio(file.Name());
  ASSERT_TRUE(a.found);
  EXPECT_EQ(Group("Audio"), (std::vector<std::string>{
                                "Length=" + MinutesSeconds(a.duration),
                                "Bitrate=" + std::to_string((a.bitrate + 500) / 1000) + " kbit/s " +
                                    BitrateModeName(a.bitrateMode),
                                "Sample rate=" + std::to_string(a.first.sampleRate) + " Hz",
                                std::string("Channel mode=") + ChannelModeName(a.first.channelMode),
                                "Format=MPEG-1 layer 3"}));

  const std::vector<std::string> tag = Group("Tag");
  ASSERT_GE(tag.size(), 4u);
  EXPECT_EQ(tag[0], "Version=ID3v2.3.0");
  EXPECT_EQ(tag[1].rfind("Size=", 0), 0u);
  EXPECT_EQ(tag[2], "Padding=16 bytes");
  EXPECT_EQ(tag[3], "Read=complete");
  // The trailer's fields that hold anything.
  EXPECT_EQ(std::vector<std::string>(tag.end() - 3, tag.end()),
            (std::vector<std::string>{"ID3v1 title=Old title", "ID3v1 track=5",
                                      "ID3v1 genre=17 (Rock)"}));

  // Tag order; the first title and the comment are on other pages, a second title is not.
  std::vector<std::string> names;
  for (const char* id :
       {"CHAP", "CHAP", "CTOC", "USLT", "SYLT", "POPM", "PCNT", "TXXX", "PRIV", "TIT2"})
    names.emplace_back(FrameName(id));
  const std::vector<std::string> frames = Group("Frames");
  ASSERT_EQ(frames.size(), names.size());
  for (size_t i = 0; i < names.size(); ++i)
    EXPECT_EQ(frames[i].substr(0, frames[i].find('=')), names[i]) << i;
  EXPECT_EQ(frames[0], names[0] + "=0:00.000\u20131:30.000 Intro");
  EXPECT_EQ(frames[1], names[1] + "=1:30.000\u20133:05.500 Verse");
  EXPECT_EQ(frames[2], names[2] + "=toc (top-level, ordered): ch0, ch1");
  EXPECT_EQ(frames[3], names[3] + "=First line ...");
  EXPECT_EQ(frames[4], names[4] + "=Hello ...");
  EXPECT_EQ(frames[5], names[5] + "=4 of 5 stars (196), played 12 times, user@example.com");
  EXPECT_EQ(frames[6], names[6] + "=7");
  EXPECT_NE(frames[7].find("bright"), std::string::npos) << frames[7];
  EXPECT_NE(frames[8].find("owner.example"), std::string::npos) << frames[8];
  EXPECT_EQ(frames[9], names[9] + "=Second");
}

// A length whose frames were too many to count is an estimate that may be far off: marked, and
// the bound up to which frames are counted named.
TEST(DetailRows, AnEstimateInDoubtIsMarked) {
  TempFile file(DetailedMp3("Song"));
  TID3Engine engine;
  engine.SetReadOnly(true);
  engine.SetFileName(file.Name());
  engine.SetActive(true);
  TMpegAudioProperties a = engine.ReadAudio();
  a.durationSource = TDurationSource::dsEstimate;
  a.duration = 2000;
  a.durationInDoubt = true;
  std::vector<std::string> audio;
  for (const TDetailRow& row : DetailRows(engine, a, std::nullopt))
    if (row.Property == "Length" || row.Property == "Length from")
      audio.push_back(row.Property + "=" + row.Whole);
  EXPECT_EQ(audio, (std::vector<std::string>{
                       "Length=\u2248 33:20 (2000.000 s)",
                       "Length from=estimated from the audio's size and sampled bitrates (frames "
                       "are counted in up to 32 MiB of audio)"}));
}

TEST_F(DetailsTest, ThePageIsAReadOnlyReportListOverAReadOnlyValueBox) {
  const TListViewProps& list = Details().ListProps();
  ASSERT_EQ(list.Columns.size(), 2u);
  EXPECT_EQ(list.Columns[0].Caption, "Property");
  EXPECT_EQ(list.Columns[0].Width, 100);
  EXPECT_EQ(list.Columns[1].Caption, "Value");
  EXPECT_EQ(list.Columns[1].Width, ColumnAutoFill);
  EXPECT_TRUE(list.RowSelect && list.ReadOnly);
  EXPECT_FALSE(list.HideSelection);
  EXPECT_EQ(list.TabOrder, 0);
  const TEditProps& box = AsHeadless<THeadlessEdit>(frame->edDetail).EditProps();
  EXPECT_TRUE(box.MultiLine && box.ReadOnly);
  EXPECT_EQ(box.ScrollBars, TScrollStyle::ssVertical);
  const TBounds l = frame->lvDetails->Bounds(), b = frame->edDetail->Bounds();
  EXPECT_EQ(l.Left, 8);
  EXPECT_EQ(b.Left, 8);
  EXPECT_EQ(l.Width, b.Width);
  EXPECT_LT(l.Top + l.Height, b.Top);
}

TEST_F(DetailsTest, TheSelectedRowShowsItsWholeValueAndHeadingsStandOut) {
  TempFile file(DetailedMp3("Song"));
  frame->LoadFile(file.Name());
  EXPECT_EQ(frame->edDetail->Text(), "");
  Details().UserSelect(RowOf("USLT"));
  EXPECT_EQ(frame->edDetail->Text(), "First line\nSecond line");
  Details().UserSelect(RowOf("SYLT"));
  EXPECT_EQ(frame->edDetail->Text(), "[0:01.500] Hello\n[1:01.000] World\n");
  Details().UserSelect(0);
  EXPECT_EQ(frame->edDetail->Text(), "") << "a heading has no value";

  EXPECT_EQ(Details().PaintCell(0, 0).Font.Style, fsBold);
  EXPECT_EQ(Details().PaintCell(1, 0).Font.Style, 0);
  EXPECT_EQ(Details().PaintCell(1, 1).Font.Style, 0);

  // The next file replaces every row and empties the value box.
  Details().UserSelect(RowOf("USLT"));
  TempFile plain(Tag({TextFrame("TIT2", "Plain")}) + Audio());
  frame->LoadFile(plain.Name());
  EXPECT_EQ(frame->edDetail->Text(), "");
  EXPECT_TRUE(Group("Frames").empty());
  EXPECT_EQ(Details().Selected(), -1);
}

std::string LE32(uint32_t v) {
  return {static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
          static_cast<char>(v >> 24)};
}

std::string ApeItem(const std::string& key, const std::string& value, uint32_t flags = 0) {
  return LE32(static_cast<uint32_t>(value.size())) + LE32(flags) + key + '\0' + value;
}

TEST_F(DetailsTest, TheBlocksBehindTheAudioListTheirItems) {
  // Audio, a Lyrics3 version 2 block, then an APE tag of version 2 without a header.
  const std::string items = ApeItem("REPLAYGAIN_TRACK_GAIN", "-6.5 dB") +
                            ApeItem("Artist", std::string("A\0B", 3)) +
                            ApeItem("Cover Art (Front)", "jpegbytes", 2);
  const std::string ape = items + "APETAGEX" + LE32(2000) +
                          LE32(static_cast<uint32_t>(items.size() + 32)) + LE32(3) + LE32(0) +
                          std::string(8, '\0');
  const std::string lyrics = "LYRICSBEGINLYR00006la\r\nla000025LYRICS200";
  TempFile file(Audio() + lyrics + ape);
  frame->LoadFile(file.Name());
  const std::vector<std::string> tag = Group("Tag");
  const std::vector<std::string> expected = {
      "APEv2=version 2, 3 items", "APE REPLAYGAIN_TRACK_GAIN=-6.5 dB",
      "APE Artist=A / B",         "APE Cover Art (Front)=binary, 9 bytes",
      "Lyrics3=version 2",        "Lyrics3 LYR=la ..."};
  ASSERT_GE(tag.size(), expected.size());
  EXPECT_EQ(std::vector<std::string>(tag.end() - 6, tag.end()), expected);
}

std::string ApeTag(const std::string& items, uint32_t count) {
  return items + "APETAGEX" + LE32(2000) + LE32(static_cast<uint32_t>(items.size() + 32)) +
         LE32(count) + LE32(0) + std::string(8, '\0');
}

// Values of the tag's user texts (keys in any case), its RVA2 frame and the APE tag: one line
// where the sources agree (-7.23 dB against RVA2's -3702/512 dB), a line each, marked, where
// they do not.
TEST_F(DetailsTest, ReplayGainShowsOnceWhereItsSourcesAgreeAndMarkedWhereNot) {
  const std::string z(1, '\0');
  const std::string rva2 = "track" + z + "\x01\xF1\x8A\x10\x7E\x89";  // master, 16-bit peak
  const std::string tag =
      Tag({Frame("TXXX", z + "replaygain_track_gain" + z + "-7.23 dB"),
           Frame("TXXX", z + "REPLAYGAIN_TRACK_PEAK" + z + "0.988553"), Frame("RVA2", rva2),
           Frame("TXXX", z + "REPLAYGAIN_ALBUM_GAIN" + z + "-6.50 dB")});
  const std::string ape = ApeTag(ApeItem("REPLAYGAIN_ALBUM_GAIN", "-6.00 dB") +
                                     ApeItem("Replaygain_Reference_Loudness", "89.0 dB"),
                                 2);
  TempFile file(tag + Audio() + ape);
  frame->LoadFile(file.Name());
  EXPECT_EQ(
      Group("ReplayGain"),
      (std::vector<std::string>{"Track gain=-7.23 dB, peak 0.988553", "Album gain (ID3)=-6.50 dB",
                                "Album gain (APE)=-6.00 dB", "Reference loudness=89.0 dB"}));
  EXPECT_TRUE(Group("Findings").empty());

  TempFile plain(Tag({TextFrame("TIT2", "Plain")}) + Audio());
  frame->LoadFile(plain.Name());
  EXPECT_TRUE(Group("ReplayGain").empty());
}

// What the file's end shows without a walk over the audio: a trailer below the trailer, and an
// APE tag whose items do not fit it.
TEST_F(DetailsTest, DamageAtTheFilesEndIsListedWithItsOffset) {
  const std::string audio = Audio();
  TrailerFields fields;
  fields.Title = "Old";
  const std::string v1 = Trailer(fields);
  TempFile twice(audio + v1 + v1);
  frame->LoadFile(twice.Name());
  EXPECT_EQ(Group("Findings"), (std::vector<std::string>{"Damage=a second ID3v1 trailer at byte " +
                                                         std::to_string(audio.size())}));

  TempFile damaged(audio + ApeTag("", 5));
  frame->LoadFile(damaged.Name());
  const std::vector<std::string> findings = Group("Findings");
  ASSERT_EQ(findings.size(), 1u);
  EXPECT_EQ(findings[0].rfind("Damage=damaged APEv2 tag (", 0), 0u) << findings[0];
}

TEST_F(DetailsTest, AFileWithoutATagStillShowsItsAudioAndAFileWithoutAudioSaysSo) {
  TempFile untagged(Audio());
  frame->LoadFile(untagged.Name());
  EXPECT_EQ(Group("Audio").size(), 5u);
  EXPECT_EQ(Group("Tag"), (std::vector<std::string>{"ID3v2=none"}));
  EXPECT_TRUE(Group("Frames").empty());

  TempFile noAudio(Tag({TextFrame("TIT2", "Silence")}) + std::string(300, 'x'));
  frame->LoadFile(noAudio.Name());
  EXPECT_EQ(Group("Audio"), (std::vector<std::string>{"Stream=no MPEG audio frames found"}));
}

TEST(DetailTextTest, LengthsAndRatingsAtTheirEdges) {
  EXPECT_EQ(MinutesSeconds(0), "0:00");
  EXPECT_EQ(MinutesSeconds(59.999), "0:59");
  EXPECT_EQ(MinutesSeconds(3600), "60:00");
  EXPECT_EQ(MinutesSeconds(-1), "0:00");
  const std::pair<int, int> stars[] = {{0, 0},   {1, 1},   {63, 1},  {64, 2},  {127, 2},
                                       {128, 3}, {195, 3}, {196, 4}, {254, 4}, {255, 5}};
  for (const auto& [rating, expected] : stars) EXPECT_EQ(RatingStars(rating), expected) << rating;
}

}  // namespace
}  // namespace tagscope::test
