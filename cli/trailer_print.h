#pragma once

#include <ostream>
#include <string>

#include "cli/json_writer.h"
#include "tagscope/engine/id3v1_trailer.h"

namespace tagscope::cli {

// The ID3v1 trailer as a JSON object, and as lines of text for people ("ID3v1 trailer:" and its
// fields); its texts read as ISO-8859-1, or in `charset` where one is named.
void TrailerJson(TJsonWriter& j, const TID3v1Trailer& t, const std::string& charset = "");
void TrailerText(std::ostream& out, const TID3v1Trailer& t, const std::string& charset = "");

}  // namespace tagscope::cli
