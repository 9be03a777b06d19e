// set --chapters, --delete-chapters and --lrc: chapters and synchronised lyrics.
#include "cli/set_timed.h"

#include <cmath>
#include <cstdint>
#include <iostream>

#include "cli/trailer_tags_print.h"
#include "tagscope/engine/chapters.h"
#include "tagscope/engine/synced_lyrics.h"
#include "tagscope/rtl/exception.h"
#include "tagscope/rtl/utf8.h"

namespace tagscope::cli {

namespace {

// The audio's length in milliseconds, -1 when the file holds no audio whose length is known.
// A length in doubt is counted whatever the file's size: chapters are refused past it.
int64_t AudioLength(TID3Engine& engine) {
  const TMpegAudioProperties audio = engine.ReadAudio(kCountAlways);
  if (!audio.found || audio.duration <= 0) return -1;
  return std::llround(audio.duration * 1000);
}

// The error of a list or lyrics file, naming the file.
[[noreturn]] void Rethrow(const std::string& fileName, const Exception& e) {
  throw EConvertError(Format("\"%s\": %s", fileName.c_str(), e.what()));
}

}  // namespace

void ReadChapterList(const std::string& fileName, TSetRequest& request) {
  std::string text = TextFileArgument(fileName, "The chapter list");
  try {
    // The form alone: no audio is long enough to refuse a time here, and every chapter ends.
    ParseChapterList(text, INT64_MAX);
  } catch (const EConvertError& e) {
    Rethrow(fileName, e);
  }
  request.chapterList = std::move(text);
  request.chapterListName = fileName;
}

void ReadLrc(const std::string& fileName, const std::string& charset, TSetRequest& request) {
  CheckCharset(charset);
  std::vector<std::string> skipped;
  try {
    const std::string bytes = TextFileArgument(fileName, "The lyrics file");
    request.syncedLyrics = ParseLrc(LrcTextToUtf8(bytes, charset), &skipped);
  } catch (const EConvertError& e) {
    if (charset.empty() && std::string_view(e.what()).starts_with("The lyrics are not"))
      Rethrow(fileName, EConvertError(std::string(e.what()) + ": name it with --lrc-charset"));
    Rethrow(fileName, e);
  }
  for (const std::string& why : skipped)
    std::cerr << "Note: \"" << EscapeForTerminal(fileName) << "\", " << EscapeForTerminal(why)
              << ": passed over\n";
}

void ApplyTimed(const TSetRequest& r, TID3Engine& engine, const std::string& fileName) {
  if (!engine.Active()) return;
  if (r.deleteChapters) DeleteChapters(engine.Tag());
  if (r.chapterList) {
    std::vector<TChapter> chapters;
    try {
      chapters = ParseChapterList(*r.chapterList, AudioLength(engine));
    } catch (const EConvertError& e) {
      throw EConvertError(Format("Chapters for \"%s\" from \"%s\": %s", fileName.c_str(),
                                 r.chapterListName.c_str(), e.what()));
    }
    SetChapters(engine.Tag(), chapters);
  }
  if (!r.syncedLyrics.empty()) SetSyncedLyrics(engine.Tag(), r.syncedLanguage, r.syncedLyrics);
}

}  // namespace tagscope::cli
