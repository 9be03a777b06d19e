#pragma once

#include <set>
#include <string>
#include <vector>

#include "cli/set_request.h"
#include "tagscope/engine/id3_engine.h"

namespace tagscope::cli {

// The frames the request sets, checked against the version of the engine's tag
// (FrameVersionFit): a frame the version has no form for is refused, unless the request is
// forced; one players write out of its version goes in as it is, with a note. Returns the IDs
// of the frames to set in the other version's form and convert (AddConvertedFrames). A day or
// time of version 3 has a form in version 4 only with the year it belongs to: the one given, or
// the one the recording time holds.
std::set<std::string> FramesToConvert(const TSetRequest& request, const TID3Engine& engine,
                                      const std::string& fileName, std::vector<std::string>& notes);

}  // namespace tagscope::cli
