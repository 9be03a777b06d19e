// The frames that tie content to the audio's time line: synchronised lyrics and tempo, event
// timing codes, position, the MPEG lookup table and the seek-point index; and synchronised
// lyrics from typed values.
#include "engine/frames/timing_frames.h"
#include "tagscope/engine/timed_frames.h"
#include "tagscope/rtl/utf8.h"

namespace tagscope {

std::string_view TimestampUnit(int64_t format) {
  return format == 1 ? "MPEG frames" : format == 2 ? "ms" : "";
}

namespace {

// The timestamp-format byte, labelled.
bool TimestampFormat(TFieldReader& r, std::string_view& unit) {
  static const std::string_view names[] = {"", "MPEG frames", "milliseconds"};
  if (!r.Number("timestampFormat", 1)) return false;
  r.Last().Label = TableLabel(names, r.Last().Number);
  unit = TimestampUnit(r.Last().Number);
  return true;
}

// Encoding, language, timestamp format, content type and description, as synchronised
// lyrics begin; false where the payload does not hold them.
bool SyncLyricsFields(TFieldReader& r, std::string_view& unit) {
  static const std::string_view contents[] = {"Other",     "Lyrics",        "Text transcription",
                                              "Part name", "Events",        "Chord",
                                              "Trivia",    "Web page URLs", "Image URLs"};
  if (!r.Encoding() || !r.Fixed("language", 3) || !TimestampFormat(r, unit) ||
      !r.Number("contentType", 1))
    return false;
  r.Last().Label = TableLabel(contents, r.Last().Number);
  return r.Text("description");
}

void SyncLines(TFieldReader& r, std::string_view unit) {
  r.Records("lines", [&](TFrameFields&) { return r.Text("text") && r.Number("time", 4, 1, unit); });
}

// Three bytes: cut, or padded with blanks.
std::string Language(const std::string& language) {
  std::string lang = language.substr(0, 3);
  lang.resize(3, ' ');
  return lang;
}

}  // namespace

void ParseSyncLyricsFrame(TFieldReader& r) {
  std::string_view unit;
  if (SyncLyricsFields(r, unit)) SyncLines(r, unit);
}

void RenderSyncLyricsFrame(TFieldWriter& w) {
  w.Encoding();
  w.Fixed("language", 3);
  w.Number("timestampFormat", 1);
  w.Number("contentType", 1);
  w.Text("description");
  w.Records("lines", [&] {
    w.Text("text");
    w.Number("time", 4);
  });
}

std::string RenderSyncLyricsFrame(const TSyncLyricsFrame& lyrics, uint8_t version) {
  TFrameValue value;
  value.Kind = "syncLyrics";
  value.AddText("language", Latin1ToUtf8(Language(lyrics.Language)))
      .AddNumber("timestampFormat", lyrics.TimestampFormat)
      .AddNumber("contentType", lyrics.ContentType)
      .AddText("description", lyrics.Description)
      .AddRecords("lines");
  for (const TSyncedLine& line : lyrics.Lines) {
    TFrameFields& record = value.AddRecord("lines");
    record.emplace_back().Name = "text";
    record.back().Text = line.Text;
    record.emplace_back().Name = "time";
    record.back().Type = TFieldType::ftNumber;
    record.back().Number = line.Time;
  }
  return RenderFrameContent("SYLT", value, version);
}

std::optional<TSyncLyricsFrame> ParseSyncLyricsFrame(std::string_view payload, uint8_t version) {
  TFrameValue value;
  TFieldReader r(payload, value, version);
  std::string_view unit;
  if (!SyncLyricsFields(r, unit)) return std::nullopt;
  SyncLines(r, unit);
  TSyncLyricsFrame s;
  s.Language = Utf8ToLatin1(value.Find("language")->Text);
  s.TimestampFormat = static_cast<uint8_t>(value.Find("timestampFormat")->Number);
  s.ContentType = static_cast<uint8_t>(value.Find("contentType")->Number);
  s.Description = value.Find("description")->Text;
  for (const TFrameFields& record : value.Find("lines")->Records)
    s.Lines.push_back({static_cast<uint32_t>(record[1].Number), record[0].Text});
  return s;
}

// A tempo of 255 or more takes a second byte, added to the first.
void ParseTempoFrame(TFieldReader& r) {
  std::string_view unit;
  if (!TimestampFormat(r, unit)) return;
  r.Records("tempi", [&](TFrameFields&) {
    if (!r.Number("tempo", 1, 1, "BPM")) return false;
    if (r.Last().Number == 255) {
      if (r.AtEnd()) {
        r.Fail("its last tempo lacks its second byte");
        return false;
      }
      r.Last().Number += r.PeekByte();
      r.Skip(1);
    }
    return r.Number("time", 4, 1, unit);
  });
}

void RenderTempoFrame(TFieldWriter& w) {
  w.Number("timestampFormat", 1);
  w.Records("tempi", [&] {
    const int64_t tempo = w.Field("tempo", TFieldType::ftNumber).Number;
    if (tempo < 0 || tempo > 510) w.Refuse("tempo", "is a number from 0 to 510");
    if (tempo >= 255) w.RawNumber(255, 1);
    w.RawNumber(static_cast<uint64_t>(tempo >= 255 ? tempo - 255 : tempo), 1);
    w.Number("time", 4);
  });
}

void ParseEventsFrame(TFieldReader& r) {
  static const std::string_view events[] = {"Padding",         "End of initial silence",
                                            "Intro start",     "Main part start",
                                            "Outro start",     "Outro end",
                                            "Verse start",     "Refrain start",
                                            "Interlude start", "Theme start",
                                            "Variation start", "Key change",
                                            "Time change",     "Momentary unwanted noise",
                                            "Sustained noise", "Sustained noise end",
                                            "Intro end",       "Main part end",
                                            "Verse end",       "Refrain end",
                                            "Theme end",       "Profanity",
                                            "Profanity end"};
  std::string_view unit;
  if (!TimestampFormat(r, unit)) return;
  r.Records("events", [&](TFrameFields&) {
    if (!r.Number("type", 1)) return false;
    const int64_t type = r.Last().Number;
    r.Last().Label = type == 0xFD   ? "Audio end"
                     : type == 0xFE ? "Audio file ends"
                                    : TableLabel(events, type);
    return r.Number("time", 4, 1, unit);
  });
}

void RenderEventsFrame(TFieldWriter& w) {
  w.Number("timestampFormat", 1);
  w.Records("events", [&] {
    w.Number("type", 1);
    w.Number("time", 4);
  });
}

void ParsePositionFrame(TFieldReader& r) {
  std::string_view unit;
  if (!TimestampFormat(r, unit) || !r.RestNumber("position", 1)) return;
  r.Last().Unit = unit;
}

void RenderPositionFrame(TFieldWriter& w) {
  w.Number("timestampFormat", 1);
  w.RestNumber("position", 4);
}

void ParseLookupFrame(TFieldReader& r) {
  if (r.Number("framesBetweenReferences", 2) && r.Number("bytesBetweenReferences", 3, 1, "bytes") &&
      r.Number("msBetweenReferences", 3, 1, "ms") && r.Number("bitsForBytesDeviation", 1) &&
      r.Number("bitsForMsDeviation", 1))
    r.Rest("references");
}

void RenderLookupFrame(TFieldWriter& w) {
  w.Number("framesBetweenReferences", 2);
  w.Number("bytesBetweenReferences", 3);
  w.Number("msBetweenReferences", 3);
  w.Number("bitsForBytesDeviation", 1);
  w.Number("bitsForMsDeviation", 1);
  w.Bytes("references");
}

// Index points are 8 or 16 bits each, as many as the count says.
void ParseSeekIndexFrame(TFieldReader& r) {
  if (!r.Number("dataStart", 4, 1, "bytes") || !r.Number("dataLength", 4, 1, "bytes") ||
      !r.Number("pointCount", 2) || !r.Number("bitsPerPoint", 1))
    return;
  const int bits = static_cast<int>(r.Last().Number);
  const auto count = static_cast<size_t>(r.Target()[r.Target().size() - 2].Number);
  if (bits != 8 && bits != 16) return r.Fail("its index points are neither 8 nor 16 bits");
  if (count * static_cast<size_t>(bits / 8) > r.Remaining())
    return r.Fail("its index points run past its end");
  TFrameField& points = r.Add("points", TFieldType::ftNumbers);
  points.Numbers.reserve(count);
  for (size_t i = 0; i < count; ++i) points.Numbers.push_back(r.ReadBE(bits / 8));
}

void RenderSeekIndexFrame(TFieldWriter& w) {
  w.Number("dataStart", 4);
  w.Number("dataLength", 4);
  const std::vector<int64_t>& points = w.Field("points", TFieldType::ftNumbers).Numbers;
  if (w.Field("pointCount", TFieldType::ftNumber).Number != static_cast<int64_t>(points.size()))
    w.Refuse("pointCount", "is the number of points");
  w.Number("pointCount", 2);
  const int64_t bits = w.Field("bitsPerPoint", TFieldType::ftNumber).Number;
  if (bits != 8 && bits != 16) w.Refuse("bitsPerPoint", "is 8 or 16");
  w.Number("bitsPerPoint", 1);
  for (const int64_t point : points) {
    if (point < 0 || point >= (int64_t(1) << bits))
      w.Refuse("points", "holds a point its bits cannot");
    w.RawNumber(static_cast<uint64_t>(point), static_cast<int>(bits / 8));
  }
}

}  // namespace tagscope
