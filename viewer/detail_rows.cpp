// The rows of the "Details" page: audio facts, tag facts and the frames no other page shows.
#include "viewer/detail_rows.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <set>

#include "tagscope/engine/frame_names.h"
#include "tagscope/engine/frame_text.h"
#include "tagscope/engine/genre.h"
#include "tagscope/engine/id3_engine.h"
#include "tagscope/engine/replay_gain.h"
#include "tagscope/engine/trailer_tags.h"
#include "tagscope/rtl/utf8.h"

namespace tagscope {

namespace {

// Rows are added to the end of a list, one group after the other.
class TRowList {
 public:
  explicit TRowList(std::vector<TDetailRow>& rows) : FRows(rows) {}
  void Heading(const char* caption) { FRows.push_back({caption, "", "", true}); }
  void Add(const std::string& property, const std::string& value) {
    FRows.push_back({property, value, value, false});
  }
  void Add(const std::string& property, const std::string& value, const std::string& whole) {
    FRows.push_back({property, value, whole, false});
  }

 private:
  std::vector<TDetailRow>& FRows;
};

std::string Latin1Text(const std::string& latin1) {
  return EscapeForTerminal(Latin1ToUtf8(latin1));
}

// --- audio ---

std::string SecondsText(double seconds) {
  char text[48];
  std::snprintf(text, sizeof text, "%.3f s", seconds);
  return text;
}

void AudioRows(TRowList& rows, const TMpegAudioProperties& a) {
  rows.Heading(kDetailsAudio);
  if (!a.found) {
    rows.Add("Stream", "no MPEG audio frames found");
    return;
  }
  const TMpegFrameHeader& h = a.first;
  // An estimate that may be far off is marked: its frames were too many to count here.
  const std::string about = a.durationInDoubt ? "\u2248 " : "";
  rows.Add("Length", about + MinutesSeconds(a.duration),
           about + MinutesSeconds(a.duration) + " (" + SecondsText(a.duration) + ")");
  if (a.gaplessDuration >= 0)
    rows.Add("Gapless length", MinutesSeconds(a.gaplessDuration),
             MinutesSeconds(a.gaplessDuration) + " (" + SecondsText(a.gaplessDuration) +
                 "; encoder delay " + std::to_string(a.encoderDelay) + ", padding " +
                 std::to_string(a.encoderPadding) + " samples)");
  if (a.durationInDoubt)
    rows.Add("Length from",
             "estimated from the audio's size and sampled bitrates (frames are "
             "counted in up to " +
                 std::to_string(kDefaultCountBound >> 20) + " MiB of audio)");
  else if (a.durationSource == TDurationSource::dsEstimate)
    rows.Add("Length from", "estimated from the audio's size and bitrate");
  // A VBR header whose counts the file cannot hold is not taken for the length: say why.
  if (!a.vbrHeaderProblem.empty())
    rows.Add("Length from", (a.durationInDoubt ? "not the header: " : "counted: ") +
                                EscapeForTerminal(a.vbrHeaderProblem));
  rows.Add("Bitrate",
           std::to_string((a.bitrate + 500) / 1000) + " kbit/s " + BitrateModeName(a.bitrateMode));
  rows.Add("Sample rate", std::to_string(h.sampleRate) + " Hz");
  rows.Add("Channel mode", ChannelModeName(h.channelMode));
  rows.Add("Format",
           std::string("MPEG-") + MpegVersionName(h.version) + " layer " + std::to_string(h.layer));
  // The name comes from the file, which keeps only printable ASCII there.
  if (!a.encoder.empty()) rows.Add("Encoder", EscapeForTerminal(a.encoder));
}

// --- what the audio is played at, and what is wrong with it ---

void GainRows(TRowList& rows, const TID3Engine& engine, const TTrailerTags* tags) {
  const std::vector<TGainLine> lines = ReplayGainLines(
      ReadReplayGain(engine.Tag(), tags && tags->Ape.Present ? &tags->Ape : nullptr));
  if (lines.empty()) return;
  rows.Heading(kDetailsGain);
  for (const TGainLine& line : lines) rows.Add(line.label, EscapeForTerminal(line.text));
}

void FindingRows(TRowList& rows, const std::vector<TStreamFinding>& findings) {
  if (findings.empty()) return;
  rows.Heading(kDetailsFindings);
  for (const TStreamFinding& f : findings)
    rows.Add(f.severity == TStreamSeverity::ssDamage ? "Damage" : "Note",
             EscapeForTerminal(f.text) + " at byte " + std::to_string(f.offset));
}

// --- tag ---

std::string Joined(const std::vector<std::string>& parts) {
  std::string text;
  for (const std::string& part : parts) text += (text.empty() ? "" : ", ") + part;
  return text;
}

std::string FlagsText(const TID3Header& h) {
  std::vector<std::string> flags;
  if (h.Unsynchronisation()) flags.push_back("unsynchronisation");
  if (h.ExtendedHeaderPresent()) {
    const TID3ExtendedHeader& x = h.ExtendedHeader();
    std::string extended = "extended header";
    std::vector<std::string> parts;
    if (x.TagIsAnUpdate()) parts.push_back("update");
    if (x.CRCDataPresent()) parts.push_back("CRC");
    if (x.TagRestricted()) parts.push_back("restrictions");
    if (!parts.empty()) extended += " (" + Joined(parts) + ")";
    flags.push_back(extended);
  }
  if (h.Experimental()) flags.push_back("experimental");
  if (h.FooterPresent()) flags.push_back("footer");
  return Joined(flags);
}

void ID3v2Rows(TRowList& rows, const TID3Engine& engine) {
  const TID3Header& h = engine.Tag().Header();
  const TEngineStatus status = engine.Status();
  if (status.place.size <= 0 || h.Size() < 0) {
    rows.Add("ID3v2", "none");
    return;
  }
  rows.Add("Version", "ID3v2." + std::to_string(h.VersionNumber()) + "." +
                          std::to_string(h.VersionRevision()));
  rows.Add("Size", std::to_string(status.place.size) + " bytes at offset " +
                       std::to_string(status.place.offset));
  rows.Add("Padding", std::to_string(engine.Padding()) + " bytes");
  if (const std::string flags = FlagsText(h); !flags.empty()) rows.Add("Flags", flags);
  const TTagReadReport& report = status.readReport;
  if (report.complete)
    rows.Add("Read", "complete");
  else
    rows.Add("Read", "incomplete: " + Latin1Text(report.problem) + " (read as far as byte " +
                         std::to_string(report.accountedEnd) + ")");
}

// The trailer's fields that hold anything; its texts are ISO-8859-1 by convention.
void ID3v1Rows(TRowList& rows, const TID3v1Trailer& t) {
  const std::pair<const char*, const std::string*> texts[] = {{"ID3v1 title", &t.title},
                                                              {"ID3v1 artist", &t.artist},
                                                              {"ID3v1 album", &t.album},
                                                              {"ID3v1 year", &t.year},
                                                              {"ID3v1 comment", &t.comment}};
  for (const auto& [name, text] : texts)
    if (!text->empty()) rows.Add(name, Latin1Text(*text));
  if (t.track) rows.Add("ID3v1 track", std::to_string(t.track));
  if (const auto genre = TGenre::FromNumber(t.genre))
    rows.Add("ID3v1 genre", std::to_string(t.genre) + " (" + genre->Name() + ")");
  else if (t.genre != 255)
    rows.Add("ID3v1 genre", std::to_string(t.genre));
}

void TagRows(TRowList& rows, const TID3Engine& engine, const TMpegAudioProperties& a,
             const std::optional<TID3v1Trailer>& trailer) {
  rows.Heading(kDetailsTag);
  ID3v2Rows(rows, engine);
  if (trailer)
    ID3v1Rows(rows, *trailer);
  else if (a.id3v1)
    rows.Add("ID3v1", "trailer at the end of the file");
}

// --- frames ---

// What the other pages show: the first frame of each field's ID, and every comment, picture
// and link. The genre's and year's second sources show only where the first is empty.
class TShownFrames {
 public:
  explicit TShownFrames(const TID3Tag& tag) {
    for (const char* id : {"TIT2", "TPE1", "TALB", "TCOM", "TPE2", "TPE3", "TEXT", "TIT1", "TMOO",
                           "TPUB", "TYER", "TRCK", "TPOS"})
      FFirstShown.insert(id);
    if (tag.GenreUtf8().empty()) FFirstShown.insert("TCON");
    // A recording time shows only its year; a longer one has more to tell.
    if (tag.YearUtf8().empty() && tag.GetFrameTextUtf8("TDRC").size() <= 4)
      FFirstShown.insert("TDRC");
  }

  // Called once per frame, in tag order.
  bool Shown(const std::string& id) {
    if (id == "COMM" || id == "APIC" || id == "WXXX") return true;
    if (!FFirstShown.count(id)) return false;
    return FSeen.insert(id).second;
  }

 private:
  std::set<std::string> FFirstShown;
  std::set<std::string> FSeen;
};

std::string FirstLine(const std::string& text) {
  const size_t end = text.find_first_of("\r\n");
  if (end == std::string::npos) return text;
  return text.substr(0, end) + " ...";
}

// A text row: its first line in the list, all of it below.
void TextRow(TRowList& rows, const std::string& name, const std::string& utf8) {
  rows.Add(name, EscapeForTerminal(FirstLine(utf8)), SanitizeUtf8(utf8));
}

// An APE tag's items, in the order stored: text items as text (several values apart by a
// slash in the list, one per line below it), the others by kind and size.
void ApeRows(TRowList& rows, const TApeTag& ape) {
  rows.Add("APEv2", "version " + std::to_string(ape.Version / 1000) + ", " +
                        std::to_string(ape.Items.size()) + " items");
  for (const TApeItem& item : ape.Items) {
    const std::string name = "APE " + EscapeForTerminal(item.Key);
    if (item.IsText()) {
      std::string row, whole;
      for (const std::string& value : item.Texts()) {
        row += (row.empty() ? "" : " / ") + value;
        whole += (whole.empty() ? "" : "\n") + value;
      }
      rows.Add(name, EscapeForTerminal(FirstLine(row)), SanitizeUtf8(whole));
    } else {
      const char* kind = item.Kind() == TApeItemKind::akLocator ? "link" : "binary";
      rows.Add(name, std::string(kind) + ", " + std::to_string(item.Value.size()) + " bytes");
    }
  }
  if (!ape.Problem.empty()) rows.Add("APEv2 problem", EscapeForTerminal(ape.Problem));
}

// A Lyrics3 block: version 1 its lyrics, version 2 each field (ISO-8859-1 texts).
void Lyrics3Rows(TRowList& rows, const TLyrics3Block& block) {
  rows.Add("Lyrics3", "version " + std::to_string(block.Version));
  if (block.Version == 1) TextRow(rows, "Lyrics3 lyrics", Latin1ToUtf8(block.Lyrics));
  for (const TLyrics3Field& field : block.Fields)
    TextRow(rows, "Lyrics3 " + EscapeForTerminal(field.ID), Latin1ToUtf8(field.Value));
  if (!block.Problem.empty()) rows.Add("Lyrics3 problem", EscapeForTerminal(block.Problem));
}

// The APE tag and Lyrics3 block behind the audio: their items when they were read, else
// whether the audio facts found them.
void TrailerTagRows(TRowList& rows, const TMpegAudioProperties& a, const TTrailerTags* tags) {
  if (tags && tags->Ape.Present)
    ApeRows(rows, tags->Ape);
  else if (a.apeTag)
    rows.Add("APEv2", "tag behind the audio");
  if (tags && tags->Lyrics3.Present)
    Lyrics3Rows(rows, tags->Lyrics3);
  else if (a.lyrics3)
    rows.Add("Lyrics3", "block behind the audio");
}

std::string TimeText(int64_t ms) {
  char text[32];
  std::snprintf(text, sizeof text, "%lld:%02lld.%03lld", static_cast<long long>(ms / 60000),
                static_cast<long long>(ms / 1000 % 60), static_cast<long long>(ms % 1000));
  return text;
}

int64_t NumberOf(const TFrameValue& v, std::string_view name) {
  const TFrameField* f = v.Find(name);
  return f ? f->Number : 0;
}

// A text field, or the texts of a text list joined.
std::string TextOf(const TFrameValue& v, std::string_view name) {
  const TFrameField* f = v.Find(name);
  if (!f) return {};
  if (f->Type != TFieldType::ftTextList) return f->Text;
  std::string text;
  for (const std::string& t : f->Texts) text += (text.empty() ? "" : " / ") + t;
  return text;
}

// A chapter as its times and title: "0:00.000-1:30.000 Intro".
std::string ChapterText(const TFrameValue& v) {
  std::string text =
      TimeText(NumberOf(v, "startTime")) + "\u2013" + TimeText(NumberOf(v, "endTime"));
  if (const TFrameField* frames = v.Find("frames"))
    for (const TEmbeddedFrame& f : frames->Frames)
      if (f.ID == "TIT2") text += " " + EscapeForTerminal(TextOf(f.Value, "text"));
  if (const TFrameField* frames = v.Find("frames"); !frames || frames->Frames.empty())
    text += " [" + EscapeForTerminal(TextOf(v, "elementId")) + "]";
  return text;
}

// A table of contents as its title (or name), kind and entries: "Chapters (top-level,
// ordered): ch0, ch1".
std::string TableText(const TFrameValue& v) {
  std::string title = TextOf(v, "elementId");
  if (const TFrameField* frames = v.Find("frames"))
    for (const TEmbeddedFrame& f : frames->Frames)
      if (f.ID == "TIT2") title = TextOf(f.Value, "text");
  std::string text = EscapeForTerminal(title);
  if (const TFrameField* flags = v.Find("flags"); flags && !flags->Label.empty())
    text += " (" + std::string(flags->Label) + ")";
  std::string children;
  if (const TFrameField* list = v.Find("children"))
    for (const std::string& child : list->Texts)
      children += (children.empty() ? "" : ", ") + EscapeForTerminal(child);
  return text + ": " + children;
}

// Lyrics in the list by their first line, in full below it.
void LyricsRow(TRowList& rows, const std::string& name, const TFrameValue& v) {
  const TFrameField* text = v.Find("text");
  const std::string lyrics = text ? text->Text : std::string();
  rows.Add(name, EscapeForTerminal(FirstLine(lyrics)), SanitizeUtf8(lyrics));
}

// Synchronised lyrics in the list by their first line, in full below it, each line after its
// time.
void SyncLyricsRow(TRowList& rows, const std::string& name, const TFrameValue& v) {
  std::string texts, whole;
  if (const TFrameField* lines = v.Find("lines"))
    for (const TFrameFields& line : lines->Records) {
      std::string text, time;
      for (const TFrameField& f : line) {
        if (f.Name == "text") text = f.Text;
        if (f.Name == "time") time = f.Unit == "ms" ? TimeText(f.Number) : std::to_string(f.Number);
      }
      // A line's text may begin with its line break, as synchronised lyrics often store it.
      const size_t start = text.find_first_not_of("\r\n");
      const std::string shown = start == std::string::npos ? "" : SanitizeUtf8(text.substr(start));
      texts += (texts.empty() ? "" : "\n") + shown;
      whole += "[" + time + "] " + shown + "\n";
    }
  rows.Add(name, EscapeForTerminal(FirstLine(texts)), whole);
}

std::string PopularimeterText(const TFrameValue& v) {
  const int rating = static_cast<int>(NumberOf(v, "rating"));
  std::string text = rating == 0 ? "unrated"
                                 : std::to_string(RatingStars(rating)) + " of 5 stars (" +
                                       std::to_string(rating) + ")";
  if (v.Find("counter")) text += ", played " + std::to_string(NumberOf(v, "counter")) + " times";
  if (const std::string email = TextOf(v, "email"); !email.empty())
    text += ", " + EscapeForTerminal(email);
  return text;
}

void FrameRow(TRowList& rows, const TID3Frames_Item& frame, uint8_t version) {
  const std::string id = frame.Name();
  const std::string name(FrameName(id));
  const TFrameValue value = DecodeFrameContent(frame, version);
  if (value.Problems.empty()) {
    if (value.Kind == "lyrics") return LyricsRow(rows, name, value);
    if (value.Kind == "syncLyrics") return SyncLyricsRow(rows, name, value);
    if (id == "CHAP") return rows.Add(name, ChapterText(value));
    if (id == "CTOC") return rows.Add(name, TableText(value));
    if (id == "POPM") return rows.Add(name, PopularimeterText(value));
  }
  rows.Add(name, FrameContentText(value));
}

void FrameRows(TRowList& rows, const TID3Engine& engine) {
  rows.Heading(kDetailsFrames);
  TShownFrames shown(engine.Tag());
  const uint8_t version = engine.Tag().Header().VersionNumber();
  for (const auto& frame : engine.Tag().Frames())
    if (!shown.Shown(frame->Name())) FrameRow(rows, *frame, version);
}

}  // namespace

std::string MinutesSeconds(double seconds) {
  const auto whole = static_cast<long long>(std::floor(std::max(seconds, 0.0)));
  char text[32];
  std::snprintf(text, sizeof text, "%lld:%02lld", whole / 60, whole % 60);
  return text;
}

int RatingStars(int rating) {
  if (rating <= 0) return 0;
  // The steps most players write for one to five stars: 1, 64, 128, 196, 255.
  if (rating < 64) return 1;
  if (rating < 128) return 2;
  if (rating < 196) return 3;
  if (rating < 255) return 4;
  return 5;
}

std::vector<TDetailRow> DetailRows(const TID3Engine& engine, const TMpegAudioProperties& audio,
                                   const std::optional<TID3v1Trailer>& trailer,
                                   const TTrailerTags* trailerTags,
                                   const std::vector<TStreamFinding>& findings) {
  std::vector<TDetailRow> result;
  TRowList rows(result);
  AudioRows(rows, audio);
  FindingRows(rows, findings);
  GainRows(rows, engine, trailerTags);
  TagRows(rows, engine, audio, trailer);
  TrailerTagRows(rows, audio, trailerTags);
  FrameRows(rows, engine);
  return result;
}

}  // namespace tagscope
