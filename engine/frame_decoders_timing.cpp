// Decoders of the frames that tie content to the audio's time line: synchronised lyrics and
// tempo, event timing codes, position, the MPEG lookup table and the seek-point index; and the
// writer of synchronised lyrics.
#include <algorithm>

#include "engine/frame_decoders.h"
#include "tagscope/engine/text_encoding.h"
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

void DecodeSyncLyricsFrame(TFieldReader& r) {
  std::string_view unit;
  if (SyncLyricsFields(r, unit)) SyncLines(r, unit);
}

std::string RenderSyncLyricsFrame(const TSyncLyricsFrame& lyrics, uint8_t version) {
  uint8_t encoding = EncodingForText(lyrics.Description, version);
  for (const TSyncedLine& line : lyrics.Lines)
    encoding = std::max(encoding, EncodingForText(line.Text, version));
  std::string out(1, static_cast<char>(encoding));
  out += Language(lyrics.Language);
  out.push_back(static_cast<char>(lyrics.TimestampFormat));
  out.push_back(static_cast<char>(lyrics.ContentType));
  out += EncodeText(lyrics.Description, encoding) + Terminator(encoding);
  for (const TSyncedLine& line : lyrics.Lines) {
    out += EncodeText(line.Text, encoding) + Terminator(encoding);
    for (int shift = 24; shift >= 0; shift -= 8)
      out.push_back(static_cast<char>(line.Time >> shift));
  }
  return out;
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
void DecodeTempoFrame(TFieldReader& r) {
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

void DecodeEventsFrame(TFieldReader& r) {
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

void DecodePositionFrame(TFieldReader& r) {
  std::string_view unit;
  if (!TimestampFormat(r, unit) || !r.RestNumber("position", 1)) return;
  r.Last().Unit = unit;
}

void DecodeLookupFrame(TFieldReader& r) {
  if (r.Number("framesBetweenReferences", 2) && r.Number("bytesBetweenReferences", 3, 1, "bytes") &&
      r.Number("msBetweenReferences", 3, 1, "ms") && r.Number("bitsForBytesDeviation", 1) &&
      r.Number("bitsForMsDeviation", 1))
    r.Rest("references");
}

// Index points are 8 or 16 bits each, as many as the count says.
void DecodeSeekIndexFrame(TFieldReader& r) {
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

}  // namespace tagscope
