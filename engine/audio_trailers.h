#pragma once

#include <cstdint>

#include "tagscope/rtl/stream.h"

namespace tagscope {

// The blocks other taggers append behind the audio, in any order and each at most once:
// an APEv2 tag, a Lyrics3 block (version 1 or 2) and the ID3v1 trailer.
struct TAudioTrailers {
  bool apeTag = false;
  bool lyrics3 = false;
  bool id3v1 = false;
  int64_t start = 0;  // where the first of them begins (the stream's size when there are none)
  // Where each one found begins and ends.
  int64_t apeStart = -1, apeEnd = -1;
  int64_t lyrics3Start = -1, lyrics3End = -1;
};

// Peels the trailers off the end of the stream (`size` bytes long), reading only its last few
// kilobytes; none is taken to begin before `floor`.
TAudioTrailers FindAudioTrailers(TStream& stream, int64_t size, int64_t floor);

}  // namespace tagscope
