#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tagscope {

class TID3Tag;

// A chapter of the audio: where it starts and ends, in milliseconds from the audio's start,
// and its title (UTF-8, may be empty).
struct TChapter {
  uint32_t Start = 0;
  uint32_t End = 0;
  std::string Title;

  bool operator==(const TChapter&) const = default;
};

// The most chapters a tag's table of contents can list.
inline constexpr size_t kMaxChapters = 255;

// Reads a chapter list (UTF-8, a byte-order mark allowed) in one of two forms:
// - one chapter a line, "HH:MM:SS[.mmm] Title", where "MM:SS[.mmm]" (minutes and seconds
//   alone) will do; blank lines are skipped. Each chapter ends where the next begins, the last
//   at the audio's end.
// - a text whose first line is ";FFMETADATA1": [CHAPTER] blocks with TIMEBASE=num/den
//   (1/1000000000 when not given), START, END (where the next starts when not given) and
//   title=; other sections, keys and comment lines (";", "#") are skipped.
// `audioLength` is the audio's length in milliseconds, negative when not known. A list with no
// chapter, more than kMaxChapters, a time past the audio's end, chapters out of order or
// overlapping, or a line that is neither, is refused with EConvertError naming the line.
std::vector<TChapter> ParseChapterList(std::string_view text, int64_t audioLength);
// The chapters one a line as the first form above reads them: "HH:MM:SS.mmm Title". Line
// breaks in a title become blanks.
std::string FormatChapterList(const std::vector<TChapter>& chapters);

// The chapters of a tag: those its top-level table of contents lists, in its order (or in the
// order of their start times where it has none); a chapter's title is its TIT2 frame.
std::vector<TChapter> GetChapters(const TID3Tag& tag);
// Replaces the tag's chapters and tables of contents with these: a CHAP frame each (element
// IDs "chp0", "chp1", ...; the title, when not empty, in a TIT2 frame inside it) and one
// top-level ordered table of contents ("toc") listing them. No chapters remove them all.
void SetChapters(TID3Tag& tag, const std::vector<TChapter>& chapters);
// Removes every chapter and table of contents; returns how many frames went.
int DeleteChapters(TID3Tag& tag);
// Removes from the tables of contents (CTOC) the entries of chapters and tables the tag no
// longer holds, and the tables that are left empty; returns how many tables went. Nothing is
// pruned while a chapter or table cannot be read, as its element ID is not known.
int PruneTablesOfContents(TID3Tag& tag);

}  // namespace tagscope
