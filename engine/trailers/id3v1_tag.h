#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "tagscope/engine/id3v1_trailer.h"
#include "tagscope/rtl/stream.h"

namespace tagscope {

class TID3Tag;

// The 128-byte ID3v1 trailer at the end of a file: "TAG", then fixed fields.
namespace id3 {
inline constexpr int64_t TrailerSize = 128;
inline constexpr size_t V1TitleOffset = 3, V1TitleWidth = 30;
inline constexpr size_t V1ArtistOffset = 33, V1ArtistWidth = 30;
inline constexpr size_t V1AlbumOffset = 63, V1AlbumWidth = 30;
inline constexpr size_t V1YearOffset = 93, V1YearWidth = 4;
inline constexpr size_t V1CommentOffset = 97, V1CommentWidth = 29;
inline constexpr size_t V1TrackOffset = 126;
inline constexpr size_t V1GenreOffset = 127;
}  // namespace id3

// The trailer a tag's frames make: the album, artist and title as ISO-8859-1, the year and
// genre that readers of the tag are shown, the track number and the first comment; 128 bytes.
std::string RenderID3v1(const TID3Tag& tag);

// Shows every field of the trailer in the tag as the viewer's pages have it: the year as TYER,
// empty fields, track "0", the comment described "MAIN" in "ENG", the genre as a reference
// "(17)"; the tag is marked as an update with the padding a later write appends.
void ImportID3v1(const TID3v1Trailer& trailer, TID3Tag& tag);
// Turns an imported trailer's frames into those other taggers write: the year as TDRC in a tag
// of version 4, no empty frames, no track 0, the comment in "eng" with no description (unless
// an edit set such a comment, which then stands for it).
void SettleID3v1Import(TID3Tag& tag);

// Writes the trailer into `file`: over an old one that lies behind `tagEnd` (the ID3v2 tag's
// end), else appended at the file's end.
void PutID3v1(TStream& file, int64_t tagEnd, const std::string& trailer);
// Whether the last 128 bytes of a file of `size` bytes are a trailer that lies behind `tagEnd`.
bool HoldsID3v1(std::string_view last128, int64_t size, int64_t tagEnd);

}  // namespace tagscope
