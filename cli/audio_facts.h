#pragma once

#include <ostream>
#include <string>

#include "cli/json_writer.h"
#include "tagscope/engine/mpeg_audio.h"

namespace tagscope::cli {

// The audio facts of a file: read from the file itself (past the tag that ends at tagEnd), as
// a JSON object, and as lines of text for people.
TMpegAudioProperties ReadAudioFacts(const std::string& fileName, int64_t tagEnd);
void AudioJson(TJsonWriter& j, const TMpegAudioProperties& a);
void AudioText(std::ostream& out, const TMpegAudioProperties& a);

}  // namespace tagscope::cli
