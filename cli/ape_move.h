#pragma once

#include <ostream>

#include "tagscope/engine/id3_engine.h"

namespace tagscope::cli {

// Moves the items of the file's APE tag into the engine's tag (set --ape-to-id3), telling what
// went where on `out`, and has the engine's next write of the tag cut the APE tag in the same
// change; false when the file has no APE tag. Raises, nothing moved for good, when an item would
// be lost (one with no place in the tag, or a value that differs from the tag's own) and `force`
// is not given, and whenever the APE tag is damaged (its place not proven).
bool MoveApeTag(TID3Engine& engine, bool force, std::ostream& out);

}  // namespace tagscope::cli
