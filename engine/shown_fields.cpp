#include "tagscope/engine/shown_fields.h"

#include <cctype>

#include "tagscope/engine/id3_engine.h"
#include "tagscope/engine/id3_lists.h"
#include "tagscope/rtl/utf8.h"

namespace tagscope {

std::string ResolveGenreReference(const std::string& contentType) {
  const size_t length = contentType.size();
  if (length < 3 || length > 4 || contentType.front() != '(' || contentType.back() != ')')
    return contentType;
  int number = 0;
  for (size_t i = 1; i + 1 < length; ++i) {
    const unsigned char c = static_cast<unsigned char>(contentType[i]);
    if (!std::isdigit(c)) return contentType;
    number = number * 10 + (c - '0');
  }
  const auto& genres = Genres();
  if (number >= static_cast<int>(genres.size())) return contentType;
  return genres[static_cast<size_t>(number)];
}

std::string ShownGenre(const TID3Engine& engine) {
  std::string genre = engine.GenreUtf8();
  if (genre.empty()) genre = ResolveGenreReference(engine.GetFrameTextUtf8("TCON"));
  return genre;
}

std::string ShownYear(const TID3Engine& engine) {
  std::string year = engine.YearUtf8();
  if (year.empty()) year = Utf8Prefix(engine.GetFrameTextUtf8("TDRC"), 4);
  return year;
}

}  // namespace tagscope
