// Reads arbitrary text as a chapter list and as LRC lyrics. What is read must make sound frames:
// chapters in order without overlap inside the audio, lyrics in order of time; each written
// back as text and read again gives the same, and as frames of either version parses back to
// what was written.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "tagscope/engine/chapters.h"
#include "tagscope/engine/synced_lyrics.h"
#include "tagscope/engine/timed_frames.h"
#include "tagscope/rtl/exception.h"

namespace {

using namespace tagscope;

void Check(bool condition) {
  if (!condition) std::abort();
}

constexpr int64_t kAudioLength = 3'600'000;  // an hour

void Chapters(std::string_view text, int64_t audioLength) {
  std::vector<TChapter> chapters;
  try {
    chapters = ParseChapterList(text, audioLength);
  } catch (const EConvertError&) {
    return;
  }
  Check(!chapters.empty() && chapters.size() <= kMaxChapters);
  for (size_t i = 0; i < chapters.size(); ++i) {
    Check(chapters[i].Start < chapters[i].End);
    Check(i == 0 || chapters[i - 1].End <= chapters[i].Start);
    Check(audioLength < 0 || chapters[i].End <= audioLength);
  }
  // The list written out reads back to the same times (titles lose line breaks).
  const std::vector<TChapter> again = ParseChapterList(
      FormatChapterList(chapters), audioLength < 0 ? chapters.back().End : audioLength);
  Check(again.size() == chapters.size());
  for (size_t i = 0; i < again.size(); ++i) Check(again[i].Start == chapters[i].Start);
  for (const uint8_t version : {3, 4}) {
    TChapterFrame frame;
    frame.ElementID = "chp0";
    frame.StartTime = chapters[0].Start;
    frame.EndTime = chapters[0].End;
    frame.Frames.push_back(TextSubFrame("TIT2", chapters[0].Title, version));
    Check(ParseChapterFrame(RenderChapterFrame(frame, version), version) == frame);
  }
}

void Lyrics(std::string_view text) {
  std::vector<TSyncedLine> lines;
  try {
    lines = ParseLrc(text);
  } catch (const EConvertError&) {
    return;
  }
  Check(!lines.empty());
  for (size_t i = 1; i < lines.size(); ++i) Check(lines[i - 1].Time <= lines[i].Time);
  Check(ParseLrc(FormatLrc(lines)) == lines);
  for (const uint8_t version : {3, 4}) {
    TSyncLyricsFrame frame;
    frame.Lines = lines;
    Check(ParseSyncLyricsFrame(RenderSyncLyricsFrame(frame, version), version) == frame);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  Chapters(text, kAudioLength);
  Chapters(text, -1);
  Lyrics(text);
  return 0;
}
