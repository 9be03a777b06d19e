#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tagscope {

// The 128-byte ID3v1 trailer at a file's end, field by field as it stands there. Its texts are
// the stored bytes, trailing zeros and blanks and control characters dropped; the trailer has no
// encoding of its own and is read as ISO-8859-1 by convention.
struct TID3v1Trailer {
  std::string title, artist, album, year, comment;
  int track = 0;           // 0: none (and always 0 in the older trailers without a track byte)
  bool trackByte = false;  // the trailer has a track byte (its comment ends a byte earlier)
  int genre = 255;         // the genre byte; 255 is "no genre"
};

// The trailer in the last 128 bytes of a file; none when they do not begin with "TAG".
std::optional<TID3v1Trailer> ParseID3v1Trailer(std::string_view last128);

}  // namespace tagscope
