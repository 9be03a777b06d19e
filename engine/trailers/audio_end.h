#pragma once

#include <cstdint>

#include "engine/trailers/tail_bytes.h"

namespace tagscope {

// How the MPEG frames before a block behind the audio end.
enum class TAudioEndKind : uint8_t {
  aeAtBlock,   // the last frame ends where the block begins
  aeNoFrames,  // no run of frames was found before it: nothing to hold the block to
  aeCutShort,  // the last frame's length reaches into the block, and no frame follows it there:
               // audio cut short before the block was added
  aePadded,    // zero bytes lie between the last frame and the block
  aeRunsOn,    // a frame of the stream begins at or past the block's start: the block lies
               // within the audio
  aeGap,       // other bytes lie between the last frame and the block
};

struct TAudioEnd {
  TAudioEndKind kind = TAudioEndKind::aeNoFrames;
  int64_t framesEnd =
      -1;  // where the last frame followed ends (or the frame past the start begins)
};

// Follows the MPEG frames in the 8 KB before `blockStart` (from three frame headers in a row
// on, picking the stream up again past bytes that break it) and tells how they end.
TAudioEnd CheckAudioEnd(TTailBytes& bytes, int64_t blockStart);

}  // namespace tagscope
