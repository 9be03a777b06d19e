#include "tagscope/engine/version_change.h"

#include <cctype>
#include <optional>
#include <string>

#include "engine/frames/frame_kinds.h"
#include "tagscope/engine/id3_tag.h"
#include "tagscope/engine/tag_edit.h"
#include "tagscope/engine/text_encoding.h"

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

void DatesToVersion3(TID3Tag& tag) {
  if (tag.FrameCount("TDRC") > 0) {
    if (const auto t = ParseTimestamp(tag.GetFrameText("TDRC"))) {
      SetText(tag, "TYER", t->year);
      SetText(tag, "TDAT", t->day.empty() ? "" : t->day + t->month);
      SetText(tag, "TIME", t->minute.empty() ? "" : t->hour + t->minute);
      DeleteFrames(tag, "TDRC");
    }
  }
  if (tag.FrameCount("TDOR") > 0) {
    if (const auto t = ParseTimestamp(tag.GetFrameText("TDOR"))) {
      SetText(tag, "TORY", t->year);
      DeleteFrames(tag, "TDOR");
    }
  }
}

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
  const std::string original = tag.GetFrameText("TORY");
  if (original.size() == 4 && Digits(original, 0, 4)) {
    DeleteFrames(tag, "TORY");
    if (tag.FrameCount("TDOR") == 0) tag.SetFrameText("TDOR", original);
  }
}

// A frame in an encoding version 3 lacks, rebuilt by its kind from what its parse read.
void ReencodeFrame(TID3Frames_Item& item, uint8_t from) {
  const std::string_view payload = item.Payload();
  if (payload.empty() || item.Encrypted() || item.KeptAsStored()) return;
  const auto encoding = static_cast<uint8_t>(payload[0]);
  if (encoding != teUTF8 && encoding != teUTF16BE) return;
  const std::optional<std::string> converted = RenderedForVersion(item.Name(), payload, from, 3);
  if (!converted) return;
  item.Data().SetBytes(*converted);
  item.Data().SetPosition(0);
}

}  // namespace

void ChangeTagVersion(TID3Tag& tag, uint8_t version) {
  TID3Header& header = tag.Header();
  const uint8_t from = header.VersionNumber();
  if (version == 3) {
    DatesToVersion3(tag);
    for (int i = 0; i < tag.Frames().Count(); ++i) ReencodeFrame(tag.Frames().Items(i), from);
    header.SetFooterPresent(false);
    TID3ExtendedHeader& extended = header.ExtendedHeader();
    extended.SetTagIsAnUpdate(false);
    extended.SetTagRestricted(false);
    // Of the extended header, version 3 keeps the CRC only.
    header.SetExtendedHeaderPresent(header.ExtendedHeaderPresent() && extended.CRCDataPresent());
  } else {
    DatesToVersion4(tag);
    // Version 3 unsynchronises the whole tag, version 4 frame by frame as each frame says: the
    // header's flag would claim it of frames that do not say so.
    if (from != 4) header.SetUnsynchronisation(false);
  }
  header.SetVersionNumber(version);
  header.SetVersionRevision(0);
}

}  // namespace tagscope
