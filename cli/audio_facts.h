#pragma once

#include <ostream>
#include <string>

#include "cli/json_writer.h"
#include "tagscope/engine/mpeg_audio.h"

namespace tagscope::cli {

// The audio facts of a file (TID3Engine::ReadAudio) as a JSON object, and as lines of text for
// people.
void AudioJson(TJsonWriter& j, const TMpegAudioProperties& a);
void AudioText(std::ostream& out, const TMpegAudioProperties& a);

}  // namespace tagscope::cli
