// Synchronised lyrics: LRC text read and written, and the SYLT and USLT frames that hold it.
#include "tagscope/engine/synced_lyrics.h"

#include <algorithm>
#include <optional>

#include "engine/text_lines.h"
#include "tagscope/engine/id3_tag.h"
#include "tagscope/engine/tag_edit.h"
#include "tagscope/rtl/exception.h"

namespace tagscope {

namespace {

constexpr int64_t kMaxTime = 0xFFFFFFFF;

[[noreturn]] void Refuse(size_t line, const std::string& what) {
  throw EConvertError(Format("Line %zu of the lyrics: %s", line, what.c_str()));
}

// Digits at `at`, at most `most` of them; how many were read.
size_t Digits(std::string_view text, size_t& at, size_t most, int64_t& value) {
  const size_t begin = at;
  value = 0;
  while (at < text.size() && IsDigit(text[at]) && at - begin < most)
    value = value * 10 + (text[at++] - '0');
  return at - begin;
}

// A time stamp "mm:ss[.x[x[x]]]" (":" also before the fraction), in milliseconds.
std::optional<int64_t> StampTime(std::string_view tag) {
  size_t at = 0;
  int64_t minutes = 0, seconds = 0, fraction = 0;
  if (Digits(tag, at, 5, minutes) == 0 || at >= tag.size() || tag[at++] != ':') return std::nullopt;
  if (Digits(tag, at, 2, seconds) != 2 || seconds > 59) return std::nullopt;
  if (at < tag.size() && (tag[at] == '.' || tag[at] == ':')) {
    ++at;
    const size_t digits = Digits(tag, at, 3, fraction);
    if (digits == 0) return std::nullopt;
    for (size_t d = digits; d < 3; ++d) fraction *= 10;
  }
  if (at != tag.size()) return std::nullopt;
  return (minutes * 60 + seconds) * 1000 + fraction;
}

// "[offset:+500]": milliseconds, or none when the tag is no offset.
std::optional<int64_t> Offset(std::string_view tag, size_t line) {
  if (tag.substr(0, 7) != "offset:") return std::nullopt;
  std::string_view value = TrimBlanks(tag.substr(7));
  const bool negative = !value.empty() && value[0] == '-';
  if (!value.empty() && (value[0] == '+' || value[0] == '-')) value.remove_prefix(1);
  size_t at = 0;
  int64_t ms = 0;
  if (Digits(value, at, 9, ms) == 0 || at != value.size())
    Refuse(line, "the offset is a number of milliseconds, such as [offset:+250]");
  return negative ? -ms : ms;
}

struct TStamped {
  int64_t Time;
  std::string Text;
};

// The time stamps at the start of a line and its text after them; false for a line of tags
// that are not times (metadata, the offset).
bool ReadLine(const TTextLine& line, std::vector<TStamped>& out, int64_t& offset) {
  std::string_view text = TrimBlanks(line.Text);
  std::vector<int64_t> times;
  bool tags = false;
  while (!text.empty() && text[0] == '[') {
    const size_t close = text.find(']');
    if (close == text.npos) Refuse(line.Number, "a \"[\" is not closed");
    const std::string_view tag = text.substr(1, close - 1);
    if (const auto time = StampTime(tag)) {
      times.push_back(*time);
    } else if (const auto ms = Offset(tag, line.Number)) {
      offset = *ms;
    } else if (!tag.empty() && IsDigit(tag[0])) {
      Refuse(line.Number, "a time stamp is [mm:ss], [mm:ss.xx] or [mm:ss.xxx]");
    }
    tags = true;
    text = TrimBlanks(text.substr(close + 1));
  }
  if (!tags && !text.empty())
    Refuse(line.Number, "a line of lyrics begins with its time, [mm:ss.xx]");
  for (const int64_t time : times) out.push_back({time, std::string(text)});
  return !times.empty();
}

std::string TimeStamp(uint32_t ms) {
  const unsigned minutes = ms / 60000, seconds = ms / 1000 % 60, fraction = ms % 1000;
  if (fraction % 10 == 0) return Format("[%02u:%02u.%02u]", minutes, seconds, fraction / 10);
  return Format("[%02u:%02u.%03u]", minutes, seconds, fraction);
}

bool SameLanguage(const std::string& a, const std::string& b) {
  std::string x = a.substr(0, 3), y = b.substr(0, 3);
  x.resize(3, ' ');
  y.resize(3, ' ');
  return x == y;
}

}  // namespace

std::vector<TSyncedLine> ParseLrc(std::string_view text) {
  std::vector<TStamped> stamped;
  int64_t offset = 0;
  for (const TTextLine& line : SplitTextLines(text, "lyrics")) ReadLine(line, stamped, offset);
  if (stamped.empty()) throw EConvertError("The lyrics hold no line with a time stamp");
  std::vector<TSyncedLine> lines;
  for (TStamped& s : stamped) {
    const int64_t time = std::clamp<int64_t>(s.Time - offset, 0, kMaxTime);
    lines.push_back({static_cast<uint32_t>(time), std::move(s.Text)});
  }
  std::stable_sort(lines.begin(), lines.end(),
                   [](const TSyncedLine& a, const TSyncedLine& b) { return a.Time < b.Time; });
  return lines;
}

std::string FormatLrc(const std::vector<TSyncedLine>& lines) {
  std::string out;
  for (const TSyncedLine& line : lines) {
    std::string text = line.Text;
    std::replace_if(
        text.begin(), text.end(), [](char c) { return c == '\n' || c == '\r'; }, ' ');
    out += TimeStamp(line.Time) + text + "\n";
  }
  return out;
}

std::optional<TSyncLyricsFrame> GetSyncedLyrics(const TID3Tag& tag) {
  const uint8_t version = tag.Header().VersionNumber();
  std::optional<TSyncLyricsFrame> first;
  for (int i = 0; i < tag.Frames().Count(); ++i) {
    const TID3Frames_Item& item = tag.Frames().Items(i);
    if (!item.HasID("SYLT") || item.Encrypted()) continue;
    auto lyrics = ParseSyncLyricsFrame(item.Data().Bytes(), version);
    if (!lyrics) continue;
    if (lyrics->ContentType == TSyncLyricsFrame::kLyrics) return lyrics;
    if (!first) first = std::move(lyrics);
  }
  return first;
}

void SetSyncedLyrics(TID3Tag& tag, const std::string& language,
                     const std::vector<TSyncedLine>& lines) {
  const uint8_t version = tag.Header().VersionNumber();
  TSyncLyricsFrame frame;
  frame.Language = language;
  frame.Lines = lines;
  const std::string payload = lines.empty() ? std::string() : RenderSyncLyricsFrame(frame, version);
  // The lyrics of that language without description go; the new ones take the first's place.
  TID3Frames& frames = tag.Frames();
  bool placed = false;
  for (int i = 0; i < frames.Count();) {
    TID3Frames_Item& item = frames.Items(i);
    const auto old = item.HasID("SYLT") && !item.Encrypted()
                         ? ParseSyncLyricsFrame(item.Data().Bytes(), version)
                         : std::nullopt;
    if (!old || !old->Description.empty() || !SameLanguage(old->Language, language)) {
      ++i;
    } else if (!placed && !payload.empty()) {
      item.Data().SetBytes(payload);
      item.Data().SetPosition(0);
      placed = true;
      ++i;
    } else {
      frames.Delete(i);
    }
  }
  if (!placed && !payload.empty()) {
    TID3Frames_Item& item = frames.Add();
    item.SetName("SYLT");
    item.Data().SetBytes(payload);
  }
  // The words a line each, lines without words (pauses) kept inside but not at either end.
  std::string words;
  for (size_t i = 0; i < lines.size(); ++i) words += (i > 0 ? "\n" : "") + lines[i].Text;
  const size_t begin = words.find_first_not_of('\n');
  words = begin == words.npos ? "" : words.substr(begin, words.find_last_not_of('\n') - begin + 1);
  SetLyrics(tag, language, "", words);
}

}  // namespace tagscope
