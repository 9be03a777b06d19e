#pragma once

#include <string>
#include <vector>

namespace tagscope {

// The genre list: 192 texts "(0) Blues" .. "(191) Psybient", indexed by genre number (the
// texts of TGenre, genre.h).
const std::vector<std::string>& Genres();
// The frame display names: 75 rows "ID=Name" ("TIT2=Title"), in ID order.
const std::vector<std::string>& FrameNames();
// The display name of a frame ID (compared without regard to case), or "" when unlisted.
std::string FrameDisplayName(const std::string& id);

}  // namespace tagscope
