#pragma once

#include <string>
#include <string_view>

namespace tagscope {

class TID3Tag;

// Puts the payload of a frame of the ID in place of the frames it is the same frame as (by its
// kind's key, FrameKey: every frame of the ID where the kind has none): the first of them takes
// it and keeps its place, the others go; a new frame goes to the end when there is none. With
// `remove`, they all go and nothing takes their place. A frame whose content cannot be read
// (kept as stored) is the same as no other, but where frames of the ID have no key.
void ReplaceSameFrames(TID3Tag& tag, std::string_view id, const std::string& payload,
                       bool remove = false);

}  // namespace tagscope
