// Synchronised lyrics: LRC text read and written, and the SYLT and USLT frames that hold it.
#include "tagscope/engine/synced_lyrics.h"

#include <algorithm>
#include <optional>

#include "engine/edits/same_frame.h"
#include "engine/text/text_lines.h"
#include "tagscope/engine/id3_tag.h"
#include "tagscope/engine/tag_edit.h"
#include "tagscope/engine/text_encoding.h"
#include "tagscope/engine/text_repair.h"
#include "tagscope/rtl/charset.h"
#include "tagscope/rtl/exception.h"
#include "tagscope/rtl/utf8.h"

namespace tagscope {

namespace {

constexpr int64_t kMaxTime = 0xFFFFFFFF;

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

// "[offset:+500]": milliseconds; none when the tag is no offset or its value no number.
std::optional<int64_t> Offset(std::string_view tag) {
  if (tag.substr(0, 7) != "offset:") return std::nullopt;
  std::string_view value = TrimBlanks(tag.substr(7));
  const bool negative = !value.empty() && value[0] == '-';
  if (!value.empty() && (value[0] == '+' || value[0] == '-')) value.remove_prefix(1);
  size_t at = 0;
  int64_t ms = 0;
  if (Digits(value, at, 9, ms) == 0 || at != value.size()) return std::nullopt;
  return negative ? -ms : ms;
}

// A line as written: the times of its stamps, and its text as timed pieces (one, or the words
// of a line with word stamps "<mm:ss.xx>", at the times they give).
struct TStampedLine {
  std::vector<int64_t> Times;
  std::vector<std::pair<int64_t, std::string>> Pieces;
};

// The text after a line's stamps cut at its word stamps. The text before the first word stamp
// starts at the line's time (-1 here); a stamp with nothing after it (the end of the last word)
// and empty pieces are left out. A "<" that begins no stamp is text.
std::vector<std::pair<int64_t, std::string>> Pieces(std::string_view text) {
  std::vector<std::pair<int64_t, std::string>> pieces{{-1, ""}};
  for (size_t at = 0; at < text.size();) {
    const size_t open = text.find('<', at), close = text.find('>', open);
    const auto time = open == text.npos || close == text.npos
                          ? std::nullopt
                          : StampTime(text.substr(open + 1, close - open - 1));
    if (!time) {
      pieces.back().second += text.substr(at, open == text.npos ? text.npos : open + 1 - at);
      at = open == text.npos ? text.size() : open + 1;
      continue;
    }
    pieces.back().second += text.substr(at, open - at);
    pieces.emplace_back(*time, "");
    at = close + 1;
  }
  // Pieces without words go, and blanks at the line's ends, as the line is trimmed; until
  // neither leaves an empty piece or blanks at an end.
  for (bool again = true; again;) {
    const size_t before = pieces.size();
    if (pieces.size() > 1) std::erase_if(pieces, [](const auto& p) { return p.second.empty(); });
    if (pieces.empty()) pieces.emplace_back(-1, "");
    std::string& first = pieces.front().second;
    first.erase(0, std::min(first.size(), first.find_first_not_of(" \t")));
    std::string& last = pieces.back().second;
    last.erase(last.find_last_not_of(" \t") + 1);
    again = pieces.size() > 1 && (pieces.size() != before || pieces.front().second.empty() ||
                                  pieces.back().second.empty());
  }
  return pieces;
}

// Reads one line into `out`; false, with why, for a line that is no line of lyrics, which the
// reader passes over. Tags that are not times before the first time are metadata ("[ar:...]")
// and the offset; after a time, a "[" is the text's own ("[Chorus]").
bool ReadLine(std::string_view text, TStampedLine& out, int64_t& offset, std::string& why) {
  text = TrimBlanks(text);
  bool tags = false;
  while (!text.empty() && text[0] == '[') {
    const size_t close = text.find(']');
    const auto time = close == text.npos ? std::nullopt : StampTime(text.substr(1, close - 1));
    if (time) {
      out.Times.push_back(*time);
    } else if (!out.Times.empty()) {
      break;
    } else if (close == text.npos) {
      why = "a \"[\" is not closed";
      return false;
    } else if (const auto ms = Offset(text.substr(1, close - 1))) {
      offset = *ms;
    } else if (close > 1 && (IsDigit(text[1]) || text.substr(1, 7) == "offset:")) {
      why = "a time stamp is [mm:ss], [mm:ss.xx] or [mm:ss.xxx], an offset [offset:+250]";
      return false;
    }
    tags = true;
    text = TrimBlanks(text.substr(close + 1));
  }
  if (!tags && !text.empty()) {
    why = "a line of lyrics begins with its time, [mm:ss.xx]";
    return false;
  }
  out.Pieces = Pieces(text);
  return true;
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

// The text with each line that is not UTF-8 or holds a zero byte emptied, and why in `skipped`:
// one such line is passed over like any other that is no lyrics.
std::string WithoutUnreadableLines(std::string_view text, std::vector<std::string>* skipped) {
  std::string kept;
  for (size_t at = 0, number = 1; at < text.size(); ++number) {
    size_t end = text.find_first_of("\r\n", at);
    if (end == text.npos) end = text.size();
    const std::string_view line = text.substr(at, end - at);
    const bool zero = line.find('\0') != line.npos;
    if ((zero || !IsValidUtf8(line)) && skipped)
      skipped->push_back(Format("line %zu: %s", number, zero ? "holds a zero byte" : "not UTF-8"));
    if (!zero && IsValidUtf8(line)) kept += line;
    const size_t breakWidth = text.substr(end, 2) == "\r\n" ? 2 : end < text.size() ? 1 : 0;
    kept += text.substr(end, breakWidth);
    at = end + std::max<size_t>(breakWidth, 1);
  }
  return kept;
}

}  // namespace

std::vector<TSyncedLine> ParseLrc(std::string_view text, std::vector<std::string>* skipped) {
  struct TTimed {
    int64_t Time;
    std::vector<std::pair<int64_t, std::string>> Pieces;
  };
  std::vector<TTimed> timed;
  int64_t offset = 0;
  for (const TTextLine& line : SplitTextLines(WithoutUnreadableLines(text, skipped), "lyrics")) {
    TStampedLine stamped;
    std::string why;
    if (!ReadLine(line.Text, stamped, offset, why)) {
      if (skipped) skipped->push_back(Format("line %zu: %s", line.Number, why.c_str()));
      continue;
    }
    // Word stamps give the times of the line's first stamp; a line sung again keeps its pace.
    for (const int64_t time : stamped.Times) {
      TTimed t{time, stamped.Pieces};
      for (auto& [at, words] : t.Pieces) at = at < 0 ? time : at + time - stamped.Times[0];
      timed.push_back(std::move(t));
    }
  }
  if (timed.empty()) throw EConvertError("The lyrics hold no line with a time stamp");
  const auto shifted = [&](int64_t time) {
    return std::clamp<int64_t>(time - offset, 0, kMaxTime);
  };
  std::stable_sort(timed.begin(), timed.end(), [&](const TTimed& a, const TTimed& b) {
    return shifted(a.Time) < shifted(b.Time);
  });
  // Lines with word stamps make every line's first piece start with its line break.
  const bool words =
      std::any_of(timed.begin(), timed.end(), [](const TTimed& t) { return t.Pieces.size() > 1; });
  std::vector<TSyncedLine> lines;
  for (size_t l = 0; l < timed.size(); ++l) {
    // A word's time stays inside its line's: from the line's start, in order, up to the next
    // line's start, so that the pieces stay in order of time.
    int64_t last = shifted(timed[l].Time);
    const int64_t end = l + 1 < timed.size() ? shifted(timed[l + 1].Time) : kMaxTime;
    for (size_t p = 0; p < timed[l].Pieces.size(); ++p) {
      last = std::clamp(shifted(timed[l].Pieces[p].first), last, end);
      const bool breaks = words && p == 0 && !lines.empty();
      lines.push_back(
          {static_cast<uint32_t>(last), (breaks ? "\n" : "") + timed[l].Pieces[p].second});
    }
  }
  // One line of words says where it ends, for it has no next line to break before.
  if (words && timed.size() == 1) lines.back().Text += "\n";
  return lines;
}

std::string LrcTextToUtf8(std::string_view bytes, std::string_view charset) {
  if (bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF"))
    return DecodeTextUtf8(bytes, teUTF16);
  // A byte-order mark says UTF-8 whatever the set named; the lines' reader drops it.
  if (bytes.starts_with("\xEF\xBB\xBF") || (charset.empty() && IsValidUtf8(bytes)))
    return std::string(bytes);
  // UTF-8 with a line that is not: the reader passes over that line.
  if (charset.empty() && DetectCharset(bytes) == "UTF-8") return std::string(bytes);
  // The set the text reads best in; the detector's where none reads as text throughout.
  std::string set(charset);
  if (set.empty()) set = LikeliestCharset(bytes);
  if (set.empty()) set = DetectCharset(bytes);
  std::string utf8;
  if (set.empty() || !CharsetToUtf8(bytes, set, utf8))
    throw EConvertError(
        set.empty() || !charset.empty()
            ? Format("The lyrics are not text in %s",
                     set.empty() ? "UTF-8 or a character set found for them" : set.c_str())
            : Format("The lyrics are not UTF-8, and do not read as %s, the "
                     "character set they look like",
                     set.c_str()));
  return utf8;
}

std::vector<std::vector<TSyncedLine>> SyncedTextLines(const std::vector<TSyncedLine>& lines) {
  const auto breaks = [](const std::string& t) {
    return !t.empty() && (t.front() == '\n' || t.front() == '\r' || t.back() == '\n');
  };
  const bool pieces =
      std::any_of(lines.begin(), lines.end(), [&](const TSyncedLine& l) { return breaks(l.Text); });
  std::vector<std::vector<TSyncedLine>> out;
  bool ended = true;  // the last piece ended its line
  for (const TSyncedLine& l : lines) {
    std::string text = l.Text;
    const bool starts = !text.empty() && (text.front() == '\n' || text.front() == '\r');
    const bool ends = !text.empty() && text.back() == '\n';
    const size_t begin = text.find_first_not_of("\r\n");
    text = begin == text.npos ? "" : text.substr(begin, text.find_last_not_of("\r\n") - begin + 1);
    if (!pieces || starts || ended || out.empty()) out.emplace_back();
    out.back().push_back({l.Time, std::move(text)});
    ended = ends;
  }
  return out;
}

std::string FormatLrc(const std::vector<TSyncedLine>& lines) {
  std::string out;
  for (const std::vector<TSyncedLine>& line : SyncedTextLines(lines)) {
    for (size_t p = 0; p < line.size(); ++p) {
      std::string text = line[p].Text;
      std::replace_if(
          text.begin(), text.end(), [](char c) { return c == '\n' || c == '\r'; }, ' ');
      const std::string stamp = TimeStamp(line[p].Time);
      const std::string word = "<" + stamp.substr(1, stamp.size() - 2) + ">";
      // A text that begins with a time of its own ("[01:00] ...") gets its stamp twice, as a
      // word stamp too, so that it reads back as text.
      const size_t close = text.find(']');
      const bool timeLike = text.starts_with('[') && close != text.npos &&
                            StampTime(std::string_view(text).substr(1, close - 1));
      out += p > 0 ? word + text : timeLike ? stamp + word + text : stamp + text;
    }
    out += "\n";
  }
  return out;
}

std::vector<std::string> SyncedLyricsLanguages(const TID3Tag& tag) {
  const uint8_t version = tag.Header().VersionNumber();
  std::vector<std::string> languages;
  for (int i = 0; i < tag.Frames().Count(); ++i) {
    const TID3Frames_Item& item = tag.Frames().Items(i);
    if (!item.HasID("SYLT") || item.Encrypted()) continue;
    const auto lyrics = ParseSyncLyricsFrame(item.Data().Bytes(), version);
    if (!lyrics) continue;
    const std::string language = lyrics->Language.substr(0, 3);
    if (std::none_of(languages.begin(), languages.end(),
                     [&](const std::string& l) { return SameLanguage(l, language); }))
      languages.push_back(language);
  }
  return languages;
}

std::optional<TSyncLyricsFrame> GetSyncedLyrics(const TID3Tag& tag, std::string_view language) {
  const uint8_t version = tag.Header().VersionNumber();
  std::optional<TSyncLyricsFrame> first;
  for (int i = 0; i < tag.Frames().Count(); ++i) {
    const TID3Frames_Item& item = tag.Frames().Items(i);
    if (!item.HasID("SYLT") || item.Encrypted()) continue;
    auto lyrics = ParseSyncLyricsFrame(item.Data().Bytes(), version);
    if (!lyrics) continue;
    if (!language.empty() && !SameLanguage(lyrics->Language, std::string(language))) continue;
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
  // The lyrics of that language without description go; the new ones take the first's place.
  ReplaceSameFrames(tag, "SYLT", RenderSyncLyricsFrame(frame, version), lines.empty());
  // The words a line each, lines without words (pauses) kept inside but not at either end.
  std::string words;
  const std::vector<std::vector<TSyncedLine>> textLines = SyncedTextLines(lines);
  for (size_t i = 0; i < textLines.size(); ++i) {
    if (i > 0) words += "\n";
    for (const TSyncedLine& piece : textLines[i]) words += piece.Text;
  }
  const size_t begin = words.find_first_not_of('\n');
  words = begin == words.npos ? "" : words.substr(begin, words.find_last_not_of('\n') - begin + 1);
  SetLyrics(tag, language, "", words);
}

}  // namespace tagscope
