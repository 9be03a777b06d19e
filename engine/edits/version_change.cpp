#include "tagscope/engine/version_change.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <string>

#include "engine/edits/version_frames.h"
#include "engine/frames/frame_kinds.h"
#include "tagscope/engine/frame_value.h"
#include "tagscope/engine/id3_tag.h"
#include "tagscope/engine/tag_edit.h"
#include "tagscope/engine/text_encoding.h"
#include "tagscope/engine/timed_frames.h"

namespace tagscope {

namespace {

// A timestamp "yyyy[-MM[-dd[THH[:mm[:ss]]]]]" taken apart; empty parts were not given.
struct TTimestamp {
  std::string year, month, day, hour, minute;
};

bool Digits(const std::string& text, size_t at, size_t count) {
  if (at + count > text.size()) return false;
  for (size_t i = at; i < at + count; ++i)
    if (!std::isdigit(static_cast<unsigned char>(text[i]))) return false;
  return true;
}

std::optional<TTimestamp> ParseTimestamp(const std::string& text) {
  // Each part after the year: its separator, then two digits.
  static const char separators[] = {'-', '-', 'T', ':', ':'};
  if (!Digits(text, 0, 4)) return std::nullopt;
  std::string parts[6] = {text.substr(0, 4)};
  size_t at = 4, count = 1;
  for (; at < text.size() && count < 6; ++count, at += 3) {
    if (text[at] != separators[count - 1] || !Digits(text, at + 1, 2)) return std::nullopt;
    parts[count] = text.substr(at + 1, 2);
  }
  if (at != text.size()) return std::nullopt;
  return TTimestamp{parts[0], parts[1], parts[2], parts[3], parts[4]};
}

void SetText(TID3Tag& tag, const char* id, const std::string& text) {
  DeleteFrames(tag, id);
  if (!text.empty()) tag.SetFrameText(id, text);
}

// A time that is not in the standard form gives version 3 the year it starts with, as other
// taggers read it; the frame stays for the version change to drop and name, the rest of its
// text having no place in version 3.
void DatesToVersion3(TID3Tag& tag) {
  if (tag.FrameCount("TDRC") > 0) {
    const std::string date = tag.GetFrameText("TDRC");
    if (const auto t = ParseTimestamp(date)) {
      SetText(tag, "TYER", t->year);
      SetText(tag, "TDAT", t->day.empty() ? "" : t->day + t->month);
      SetText(tag, "TIME", t->minute.empty() ? "" : t->hour + t->minute);
      DeleteFrames(tag, "TDRC");
    } else if (Digits(date, 0, 4)) {
      SetText(tag, "TYER", date.substr(0, 4));
    }
  }
  if (tag.FrameCount("TDOR") > 0) {
    const std::string date = tag.GetFrameText("TDOR");
    if (const auto t = ParseTimestamp(date)) {
      SetText(tag, "TORY", t->year);
      DeleteFrames(tag, "TDOR");
    } else if (Digits(date, 0, 4)) {
      SetText(tag, "TORY", date.substr(0, 4));
    }
  }
}

// Moves the text of a date frame of version 3 that is not in its standard form into the
// version 4 frame as it is, where that frame is not there yet: readers show it, as other
// taggers do.
void MoveText(TID3Tag& tag, const char* from, const char* to) {
  if (tag.FrameCount(from) == 0 || tag.FrameCount(to) > 0) return;
  const std::string text = tag.GetFrameTextUtf8(from);
  DeleteFrames(tag, from);
  if (!text.empty()) tag.SetFrameTextUtf8(to, text);
}

// What is left of the date frames of version 3 (a day without a year) is dropped and named by
// the version change.
void DatesToVersion4(TID3Tag& tag) {
  const std::string year = tag.GetFrameText("TYER");
  if (year.size() == 4 && Digits(year, 0, 4)) {
    std::string date = year;
    const std::string dayMonth = tag.GetFrameText("TDAT"), time = tag.GetFrameText("TIME");
    if (dayMonth.size() == 4 && Digits(dayMonth, 0, 4)) {
      date += "-" + dayMonth.substr(2, 2) + "-" + dayMonth.substr(0, 2);
      if (time.size() == 4 && Digits(time, 0, 4))
        date += "T" + time.substr(0, 2) + ":" + time.substr(2, 2);
    }
    for (const char* id : {"TYER", "TDAT", "TIME"}) DeleteFrames(tag, id);
    // A recording time already there is the more precise one.
    if (tag.FrameCount("TDRC") == 0) tag.SetFrameText("TDRC", date);
  }
  MoveText(tag, "TYER", "TDRC");
  const std::string original = tag.GetFrameText("TORY");
  if (original.size() == 4 && Digits(original, 0, 4)) {
    DeleteFrames(tag, "TORY");
    if (tag.FrameCount("TDOR") == 0) tag.SetFrameText("TDOR", original);
  }
  MoveText(tag, "TORY", "TDOR");
}

// A frame in an encoding version 3 lacks, rebuilt by its kind from what its parse read;
// content that breaks its kind's layout stays as it is.
void ReencodeFrame(TID3Frames_Item& item, uint8_t from) {
  const std::string_view payload = item.Payload();
  if (payload.empty() || item.Encrypted() || item.KeptAsStored()) return;
  const auto encoding = static_cast<uint8_t>(payload[0]);
  if (encoding != teUTF8 && encoding != teUTF16BE) return;
  const std::optional<std::string> converted = RenderedForVersion(item.Name(), payload, from, 3);
  if (!converted) return;
  item.SetPayload(*converted);
}

// The frames a chapter or table of contents holds have headers of the tag's version: their
// sizes are coded again for the new one and their texts re-encoded as the tag's own. A payload
// the typed values do not give back byte for byte (sub-frames with flags, bytes after them)
// stays as it is rather than lose what they leave out.
template <typename TFrame>
std::string EmbeddedConverted(const std::optional<TFrame>& frame, std::string_view payload,
                              uint8_t from, uint8_t to,
                              std::string (*render)(const TFrame&, uint8_t)) {
  if (!frame || render(*frame, from) != payload) return {};
  TFrame converted = *frame;
  for (TSubFrame& sub : converted.Frames) {
    if (to != 3 || sub.Payload.empty()) continue;
    const auto encoding = static_cast<uint8_t>(sub.Payload[0]);
    if (encoding != teUTF8 && encoding != teUTF16BE) continue;
    if (auto again = RenderedForVersion(sub.ID, sub.Payload, from, 3)) sub.Payload = *again;
  }
  return render(converted, to);
}

void ConvertEmbeddedFrames(TID3Frames_Item& item, uint8_t from, uint8_t to) {
  if (item.Encrypted() || item.KeptAsStored()) return;
  const std::string& payload = item.Data().Bytes();
  std::string converted;
  if (item.HasID("CHAP"))
    converted =
        EmbeddedConverted(ParseChapterFrame(payload, from), payload, from, to, &RenderChapterFrame);
  else if (item.HasID("CTOC"))
    converted = EmbeddedConverted(ParseTableOfContentsFrame(payload, from), payload, from, to,
                                  &RenderTableOfContentsFrame);
  if (converted.empty() || converted == payload) return;
  item.SetPayload(converted);
}

}  // namespace

std::vector<std::string> ChangeTagVersion(TID3Tag& tag, uint8_t version) {
  TID3Header& header = tag.Header();
  const uint8_t from = header.VersionNumber();
  std::vector<std::string> dropped;
  if (version == 3) {
    DatesToVersion3(tag);
    dropped = FramesToVersion3(tag);
    for (int i = 0; i < tag.Frames().Count(); ++i) ReencodeFrame(tag.Frames().Items(i), from);
    header.SetFooterPresent(false);
    TID3ExtendedHeader& extended = header.ExtendedHeader();
    extended.SetTagIsAnUpdate(false);
    extended.SetTagRestricted(false);
    // Of the extended header, version 3 keeps the CRC only.
    header.SetExtendedHeaderPresent(header.ExtendedHeaderPresent() && extended.CRCDataPresent());
  } else {
    DatesToVersion4(tag);
    dropped = FramesToVersion4(tag);
    // Version 3 unsynchronises the whole tag, version 4 frame by frame as each frame says: the
    // header's flag would claim it of frames that do not say so.
    if (from != 4) header.SetUnsynchronisation(false);
  }
  for (int i = 0; i < tag.Frames().Count(); ++i)
    ConvertEmbeddedFrames(tag.Frames().Items(i), from, version);
  header.SetVersionNumber(version);
  header.SetVersionRevision(0);
  return dropped;
}

void AddVersion3Dates(TID3Tag& to, const TID3Tag& from) {
  const auto t = ParseTimestamp(from.GetFrameText("TDRC"));
  if (!t) return;
  SetText(to, "TYER", t->year);
  SetText(to, "TDAT", t->day.empty() ? "" : t->day + t->month);
  SetText(to, "TIME", t->minute.empty() ? "" : t->hour + t->minute);
}

std::vector<std::string> AddConvertedFrames(TID3Tag& tag, TID3Tag& frames) {
  const uint8_t version = std::max<uint8_t>(tag.Header().VersionNumber(), 3);
  const std::vector<std::string> dropped = ChangeTagVersion(frames, version);
  // Frames that hold one content together: a new one replaces them all.
  static const std::vector<std::vector<std::string_view>> kTogether = {{"TYER", "TDAT", "TIME"}};
  for (int i = 0; i < frames.Frames().Count(); ++i) {
    const std::string id = frames.Frames().Items(i).Name();
    DeleteFrames(tag, id);
    for (const auto& group : kTogether)
      if (std::find(group.begin(), group.end(), id) != group.end())
        for (const std::string_view other : group) DeleteFrames(tag, other);
  }
  for (int i = 0; i < frames.Frames().Count(); ++i) {
    const TID3Frames_Item& from = frames.Frames().Items(i);
    TID3Frames_Item& item = tag.Frames().Add();
    item.SetName(from.Name());
    item.SetPayload(std::string(from.Payload()));
  }
  return dropped;
}

}  // namespace tagscope
