#pragma once

#include <ostream>

#include "tagscope/engine/id3_engine.h"

namespace tagscope::cli {

// What `set --dry-run` prints: the tag the engine would write, frame by frame with the
// content of the kinds it knows, and whether an ID3v1 trailer would follow.
void PrintPlan(std::ostream& out, TID3Engine& engine);

}  // namespace tagscope::cli
