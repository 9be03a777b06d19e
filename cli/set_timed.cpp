// set --chapters, --delete-chapters and --lrc: chapters and synchronised lyrics.
#include "cli/set_timed.h"

#include <cmath>
#include <cstdint>
#include <iostream>

#include "cli/trailer_tags_print.h"
#include "tagscope/engine/chapters.h"
#include "tagscope/engine/synced_lyrics.h"
#include "tagscope/engine/version_change.h"
#include "tagscope/rtl/exception.h"
#include "tagscope/rtl/utf8.h"

namespace tagscope::cli {

namespace {

// The audio's length in milliseconds, -1 when the file holds no audio whose length is known.
int64_t AudioLength(TID3Engine& engine) {
  const TMpegAudioProperties audio = engine.ReadAudio();
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

void RefuseFramesOfOtherVersion(const TSetRequest& r, TID3Engine& engine,
                                const std::string& fileName) {
  if (!engine.Active() || engine.Header().VersionNumber() >= 4) return;
  auto check = [&](const std::string& id) {
    if (!IsVersion4Frame(id)) return;
    const std::string_view older = Version3Equivalent(id);
    throw EConvertError(
        Format("%s is a frame of ID3v2.4, and the tag of \"%s\" is ID3v2.3, which lacks it%s: give "
               "--id3v2.4 to write an ID3v2.4 tag",
               id.c_str(), fileName.c_str(),
               older.empty() ? "" : (" (its ID3v2.3 form is " + std::string(older) + ")").c_str()));
  };
  for (const auto& [id, text] : r.texts) check(id);
  for (const auto& [id, texts] : r.textLists) check(id);
}

}  // namespace tagscope::cli
