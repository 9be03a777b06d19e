#include "tagscope/engine/id3v1_trailer.h"

#include "engine/tag/id3_layout.h"
#include "engine/tag/stream_helpers.h"
#include "tagscope/engine/id3_engine.h"

namespace tagscope {

std::optional<TID3v1Trailer> ParseID3v1Trailer(std::string_view t) {
  using namespace id3;
  if (t.size() != static_cast<size_t>(TrailerSize) || t.substr(0, 3) != "TAG") return std::nullopt;
  auto field = [&](size_t offset, size_t width) {
    const std::string_view raw = t.substr(offset, width);
    return TrimControl(raw.substr(0, raw.find('\0')));
  };
  TID3v1Trailer trailer;
  trailer.title = field(V1TitleOffset, V1TitleWidth);
  trailer.artist = field(V1ArtistOffset, V1ArtistWidth);
  trailer.album = field(V1AlbumOffset, V1AlbumWidth);
  trailer.year = field(V1YearOffset, V1YearWidth);
  // A comment that runs into byte 125 is one of the older trailers without a track: byte 126
  // is its last character, not a track number.
  const bool hasTrack = t[V1TrackOffset - 1] == '\0';
  trailer.comment = field(V1CommentOffset, V1CommentWidth + (hasTrack ? 0 : 1));
  trailer.trackByte = hasTrack;
  if (hasTrack) trailer.track = static_cast<uint8_t>(t[V1TrackOffset]);
  trailer.genre = static_cast<uint8_t>(t[V1GenreOffset]);
  return trailer;
}

std::optional<TID3v1Trailer> TID3Engine::ReadID3V1Trailer() {
  if (!Active()) return std::nullopt;
  const int64_t size = FileSize();
  // The end of the ID3v2 tag itself is never taken for a trailer.
  if (size - id3::TrailerSize < FPlace.offset + FPlace.size) return std::nullopt;
  // Through what the reads of the file kept: the audio facts read its end too.
  return ParseID3v1Trailer(ReadFileBytes(size - id3::TrailerSize, id3::TrailerSize));
}

}  // namespace tagscope
