#include "cli/trailer_print.h"

#include <string>

#include "tagscope/engine/genre.h"
#include "tagscope/engine/text_repair.h"
#include "tagscope/rtl/utf8.h"

namespace tagscope::cli {

namespace {

// The genre byte's name in the list; "" for 255 ("no genre") and numbers past the list.
std::string GenreName(int genre) {
  const auto listed = TGenre::FromNumber(genre);
  return listed ? listed->Name() : std::string();
}

}  // namespace

void TrailerJson(TJsonWriter& j, const TID3v1Trailer& t, const std::string& charset) {
  j.BeginObject()
      .Member("title", SingleByteText(t.title, charset))
      .Member("artist", SingleByteText(t.artist, charset))
      .Member("album", SingleByteText(t.album, charset))
      .Member("year", SingleByteText(t.year, charset))
      .Member("comment", SingleByteText(t.comment, charset))
      .Member("track", t.track)
      .Member("genre", t.genre)
      .Member("genreName", GenreName(t.genre))
      .EndObject();
}

void TrailerText(std::ostream& out, const TID3v1Trailer& t, const std::string& charset) {
  out << "ID3v1 trailer\n";
  const std::pair<const char*, const std::string*> texts[] = {{"Title", &t.title},
                                                              {"Artist", &t.artist},
                                                              {"Album", &t.album},
                                                              {"Year", &t.year},
                                                              {"Comment", &t.comment}};
  for (const auto& [name, text] : texts)
    out << "  " << name << ": " << EscapeForTerminal(SingleByteText(*text, charset)) << "\n";
  out << "  Track: " << (t.track ? std::to_string(t.track) : std::string()) << "\n";
  const std::string genre = GenreName(t.genre);
  out << "  Genre: " << (t.genre == 255 ? std::string() : std::to_string(t.genre))
      << (genre.empty() ? "" : " (" + genre + ")") << "\n";
}

}  // namespace tagscope::cli
