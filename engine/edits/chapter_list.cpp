// Chapter lists as people write them, read into chapters and written back.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>

#include "engine/text/text_lines.h"
#include "tagscope/engine/chapters.h"
#include "tagscope/rtl/exception.h"
#include "tagscope/rtl/utf8.h"

namespace tagscope {

namespace {

// Times of more than this many milliseconds do not fit a chapter's 32-bit fields.
constexpr int64_t kMaxTime = 0xFFFFFFFE;

[[noreturn]] void Refuse(size_t line, const std::string& what) {
  throw EConvertError(Format("Line %zu of the chapter list: %s", line, what.c_str()));
}

// A chapter as read, with the line that gave it; End < 0 until known.
struct TListed {
  int64_t Start = 0;
  int64_t End = -1;
  std::string Title;
  size_t Line = 0;
};

// --- one chapter a line ---

// "HH:MM:SS[.mmm]" or "MM:SS[.mmm]" at the start of the line; how many bytes it took, 0 when
// the line does not start with a time.
size_t ReadLineTime(std::string_view line, int64_t& ms) {
  int64_t parts[3] = {};
  int count = 0;
  size_t at = 0;
  while (count < 3) {
    const size_t begin = at;
    int64_t value = 0;
    while (at < line.size() && IsDigit(line[at]) && at - begin < 9)
      value = value * 10 + (line[at++] - '0');
    if (at == begin || (count > 0 && at - begin != 2)) return 0;
    parts[count++] = value;
    if (at >= line.size() || line[at] != ':') break;
    ++at;
  }
  if (count < 2) return 0;
  // The last two parts are minutes and seconds, the first of three the hours.
  const int64_t hours = count == 3 ? parts[0] : 0;
  const int64_t minutes = parts[count - 2], seconds = parts[count - 1];
  if (seconds > 59 || (count == 3 && minutes > 59)) return 0;
  int64_t fraction = 0;
  if (at < line.size() && line[at] == '.') {
    const size_t begin = ++at;
    while (at < line.size() && IsDigit(line[at]) && at - begin < 3)
      fraction = fraction * 10 + (line[at++] - '0');
    if (at == begin) return 0;
    for (size_t digits = at - begin; digits < 3; ++digits) fraction *= 10;
  }
  if (at < line.size() && line[at] != ' ' && line[at] != '\t') return 0;
  ms = ((hours * 60 + minutes) * 60 + seconds) * 1000 + fraction;
  return at;
}

std::vector<TListed> ReadTimedLines(const std::vector<TTextLine>& lines) {
  std::vector<TListed> chapters;
  for (const TTextLine& line : lines) {
    if (TrimBlanks(line.Text).empty()) continue;
    TListed c;
    const size_t taken = ReadLineTime(line.Text, c.Start);
    if (taken == 0)
      Refuse(line.Number, "a chapter line starts with its time, HH:MM:SS[.mmm] or MM:SS[.mmm]");
    c.Title = std::string(TrimBlanks(line.Text.substr(taken)));
    c.Line = line.Number;
    chapters.push_back(std::move(c));
  }
  return chapters;
}

// --- ;FFMETADATA1 ---

// A value with its escapes undone: a backslash takes the next character as it is.
std::string Unescape(std::string_view value) {
  std::string out;
  for (size_t i = 0; i < value.size(); ++i) {
    if (value[i] == '\\' && i + 1 < value.size()) ++i;
    out.push_back(value[i]);
  }
  return out;
}

// Lines joined where a backslash ends one (an escaped line break belongs to the value).
std::vector<TTextLine> JoinContinued(const std::vector<TTextLine>& lines) {
  std::vector<TTextLine> joined;
  bool open = false;
  for (const TTextLine& line : lines) {
    if (open)
      joined.back().Text += "\n" + line.Text;
    else
      joined.push_back(line);
    size_t slashes = 0;
    while (slashes < line.Text.size() && line.Text[line.Text.size() - 1 - slashes] == '\\')
      ++slashes;
    open = slashes % 2 == 1;
    if (open) joined.back().Text.pop_back();
  }
  return joined;
}

std::optional<int64_t> WholeNumber(std::string_view text) {
  if (text.empty() || text.size() > 18) return std::nullopt;
  int64_t n = 0;
  for (const char c : text) {
    if (!IsDigit(c)) return std::nullopt;
    n = n * 10 + (c - '0');
  }
  return n;
}

// A [CHAPTER] block being read: its keys as given.
struct TBlock {
  size_t Line = 0;
  int64_t Num = 1, Den = 1000000000;
  std::optional<int64_t> Start, End;
  std::string Title;
};

// Ticks of the time base in milliseconds, to the nearest. Long double holds the product of a
// tick count and a time base exactly enough on every target (32-bit ones have no 128-bit
// integers).
int64_t Milliseconds(const TBlock& b, int64_t ticks, size_t line) {
  const long double ms = static_cast<long double>(ticks) * b.Num * 1000 / b.Den;
  if (ms > kMaxTime) Refuse(line, "the time is too large for a chapter");
  return std::llround(ms);
}

void ReadKey(TBlock& b, std::string_view key, std::string_view value, size_t line) {
  if (key == "TIMEBASE") {
    const size_t slash = value.find('/');
    const auto num = WholeNumber(value.substr(0, slash));
    const auto den = slash == value.npos ? std::nullopt : WholeNumber(value.substr(slash + 1));
    if (!num || !den || *num == 0 || *den == 0 || *num > 0xFFFFFFFF || *den > 0xFFFFFFFF)
      Refuse(line, "TIMEBASE is two whole numbers above 0, such as 1/1000");
    b.Num = *num, b.Den = *den;
  } else if (key == "START" || key == "END") {
    const auto ticks = WholeNumber(value);
    if (!ticks) Refuse(line, std::string(key) + " is a whole number of time-base units");
    (key == "START" ? b.Start : b.End) = ticks;
  } else if (key == "title") {
    b.Title = Unescape(value);
  }
}

TListed Finish(const TBlock& b) {
  if (!b.Start) Refuse(b.Line, "the chapter has no START");
  TListed c;
  c.Line = b.Line;
  c.Start = Milliseconds(b, *b.Start, b.Line);
  if (b.End) c.End = Milliseconds(b, *b.End, b.Line);
  c.Title = b.Title;
  if (c.End >= 0 && c.End <= c.Start) Refuse(b.Line, "the chapter ends before it starts");
  return c;
}

std::vector<TListed> ReadMetadataText(const std::vector<TTextLine>& lines) {
  std::vector<TListed> chapters;
  std::optional<TBlock> block;
  for (const TTextLine& line : JoinContinued(lines)) {
    const std::string_view text = line.Text;
    if (text.empty() || text[0] == ';' || text[0] == '#') continue;
    if (text[0] == '[') {
      if (block) chapters.push_back(Finish(*block));
      block.reset();
      if (TrimBlanks(text) == "[CHAPTER]") {
        block.emplace();
        block->Line = line.Number;
      }
      continue;
    }
    const size_t equals = text.find('=');
    if (block && equals != text.npos)
      ReadKey(*block, text.substr(0, equals), text.substr(equals + 1), line.Number);
  }
  if (block) chapters.push_back(Finish(*block));
  return chapters;
}

// --- both forms ---

std::string TimeText(int64_t ms) {
  return Format("%02lld:%02lld:%02lld.%03lld", static_cast<long long>(ms / 3600000),
                static_cast<long long>(ms / 60000 % 60), static_cast<long long>(ms / 1000 % 60),
                static_cast<long long>(ms % 1000));
}

// Chapters in order without overlap, inside the audio; each gets its end.
std::vector<TChapter> Checked(std::vector<TListed> listed, int64_t audioLength) {
  if (listed.empty()) throw EConvertError("The chapter list holds no chapter");
  if (listed.size() > kMaxChapters)
    Refuse(listed[kMaxChapters].Line,
           Format("a tag's table of contents lists at most %zu chapters", kMaxChapters));
  std::vector<TChapter> chapters;
  for (size_t i = 0; i < listed.size(); ++i) {
    TListed& c = listed[i];
    if (c.Start > kMaxTime) Refuse(c.Line, "the time is too large for a chapter");
    if (i > 0 && c.Start < listed[i - 1].Start)
      Refuse(c.Line, Format("the chapter starts at %s, before the one on line %zu",
                            TimeText(c.Start).c_str(), listed[i - 1].Line));
    if (i > 0 && c.Start < listed[i - 1].End)
      Refuse(c.Line, Format("the chapter starts at %s, inside the one on line %zu",
                            TimeText(c.Start).c_str(), listed[i - 1].Line));
    if (i > 0 && c.Start == listed[i - 1].Start)
      Refuse(c.Line, Format("the chapter starts at %s, as the one on line %zu does",
                            TimeText(c.Start).c_str(), listed[i - 1].Line));
    if (audioLength >= 0 && (c.Start >= audioLength || c.End > audioLength))
      Refuse(c.Line, Format("the chapter %s at %s, past the audio's end at %s",
                            c.End > audioLength ? "ends" : "starts",
                            TimeText(c.End > audioLength ? c.End : c.Start).c_str(),
                            TimeText(audioLength).c_str()));
    if (c.End < 0 && i + 1 < listed.size()) c.End = listed[i + 1].Start;
    if (c.End < 0 && audioLength < 0)
      Refuse(c.Line, "the audio's length is not known, so the last chapter has no end");
    if (c.End < 0) c.End = audioLength;
    chapters.push_back({static_cast<uint32_t>(c.Start), static_cast<uint32_t>(c.End), c.Title});
  }
  return chapters;
}

}  // namespace

std::vector<TChapter> ParseChapterList(std::string_view text, int64_t audioLength) {
  const std::vector<TTextLine> lines = SplitTextLines(text, "chapter list");
  const bool metadata = !lines.empty() && TrimBlanks(lines[0].Text) == ";FFMETADATA1";
  return Checked(metadata ? ReadMetadataText(lines) : ReadTimedLines(lines), audioLength);
}

std::string FormatChapterList(const std::vector<TChapter>& chapters) {
  std::string out;
  for (const TChapter& c : chapters) {
    std::string title = c.Title;
    std::replace_if(
        title.begin(), title.end(), [](char ch) { return ch == '\n' || ch == '\r'; }, ' ');
    out += TimeText(c.Start) + (title.empty() ? "" : " " + title) + "\n";
  }
  return out;
}

}  // namespace tagscope
