#pragma once

#include <ostream>
#include <string>

#include "cli/json_writer.h"
#include "tagscope/engine/mpeg_audio.h"
#include "tagscope/engine/trailer_tags.h"

namespace tagscope::cli {

// The audio facts of a file (TID3Engine::ReadAudio) as a JSON object, and as lines of text for
// people.
void AudioJson(TJsonWriter& j, const TMpegAudioProperties& a);
// The blocks behind the audio are named in the order the file stores them, where `trailers`
// gives their places.
void AudioText(std::ostream& out, const TMpegAudioProperties& a,
               const TTrailerTags* trailers = nullptr);

}  // namespace tagscope::cli
