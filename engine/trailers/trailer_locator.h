#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tagscope/engine/file_range.h"
#include "tagscope/engine/trailer_tags.h"
#include "tagscope/rtl/stream.h"

namespace tagscope {

enum class TTrailerKind : uint8_t { tkApe, tkLyrics3, tkID3v1 };

// One block behind the audio as the locator found it. A proven block's place is where it
// stands, every boundary checked; a damaged one's is what its end claims (as far as that lies
// in the file), and `damage` says which check failed. Only a proven block may be cut.
struct TTrailerBlock {
  TTrailerKind kind = TTrailerKind::tkID3v1;
  TFileRange place;
  std::string damage;  // empty when proven
  // Where the part that names the block begins: the APE footer, the Lyrics3 end marker. A
  // damaged block is known to begin no later.
  int64_t markerStart = 0;
  // An APE tag's footer fields.
  uint32_t apeVersion = 0, apeCount = 0, apeFlags = 0;
  bool apeHeader = false;
  int lyrics3Version = 0;  // 1 or 2

  bool Proven() const { return damage.empty(); }
};

// The blocks behind the audio, from the file's end inward: an ID3v1 trailer, then an APE tag and
// a Lyrics3 block in either order, each at most once. A damaged block ends the list: what lies
// below it is not looked for.
struct TTrailerPlaces {
  std::vector<TTrailerBlock> blocks;
  int64_t audioEnd = 0;  // where the audio ends: the lowest block's start (its marker, if damaged)

  const TTrailerBlock* Find(TTrailerKind kind) const;
  // Whether a proven block of the kind is there.
  bool Holds(TTrailerKind kind) const;
};

// Finds the blocks behind the audio of a stream of `size` bytes, none taken to begin below
// `floor` (the end of an ID3v2 tag at the start), and proves each one's boundaries:
//   - ID3v1: "TAG" 128 bytes before the end;
//   - APE: "APETAGEX" in a footer whose size reaches no lower than the floor; where its flags
//     say so, a header there too whose version, size and item count agree with the footer's;
//     an item count the bytes can hold, and items that walk from the first to the footer
//     exactly, each with a valid key;
//   - Lyrics3 version 2: six size digits before "LYRICS200", and "LYRICSBEGIN" where they put
//     the start; version 1: "LYRICSBEGIN" within the 5100 bytes of text before "LYRICSEND";
//   - the audio below the lowest APE tag or Lyrics3 block: where the last MPEG frames within
//     8 KB before it can be followed, they must not run on into it; and an APE tag that has
//     no header (whose start rests on its size field alone) must follow the last frame, or
//     zero bytes after it, directly.
// Reads the last few kilobytes, the item heads of a larger APE tag and up to 10 KB around the
// audio's end; never raises beyond what the stream raises. `tail`, when given, is the stream's
// last bytes as the caller holds them: they are not read again.
TTrailerPlaces LocateTrailers(TStream& stream, int64_t size, int64_t floor,
                              std::string_view tail = {});

// Reads the contents of the blocks located (the APE tag's items, the Lyrics3 block's fields).
TTrailerTags ReadTrailerTags(TStream& stream, const TTrailerPlaces& found);

}  // namespace tagscope
