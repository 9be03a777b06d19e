#pragma once

#include <cstdint>
#include <functional>

#include "engine/trailers/trailer_locator.h"
#include "tagscope/engine/mpeg_audio.h"

namespace tagscope {

// Finds the blocks behind the audio of a stream of `size` bytes, none below `floor`.
using TLocateTrailers = std::function<TTrailerPlaces(TStream& stream, int64_t size, int64_t floor)>;

// ReadMpegAudio with the blocks behind the audio found by `locate`: a reader of the blocks'
// contents as well finds them once.
TMpegAudioProperties ReadMpegAudio(TStream& stream, int64_t start, int64_t countBound,
                                   const TLocateTrailers& locate);

}  // namespace tagscope
