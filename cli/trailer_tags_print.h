#pragma once

#include <ostream>

#include "cli/json_writer.h"
#include "tagscope/engine/trailer_tags.h"

namespace tagscope::cli {

// The APE tag and the Lyrics3 block behind the audio, for people (nothing when neither is
// there) and as JSON members "ape" and "lyrics3" of the object being written (each only when
// it is there).
void TrailerTagsText(std::ostream& out, const TTrailerTags& t);
void TrailerTagsJson(TJsonWriter& j, const TTrailerTags& t);

// Raises for a character set name the platform does not know; nothing for an empty one.
void CheckCharset(const std::string& charset);

}  // namespace tagscope::cli
