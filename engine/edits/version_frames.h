#pragma once

#include <string>
#include <vector>

namespace tagscope {

class TID3Tag;

// The frames of a tag changed for another version, beside its dates (version_change.cpp),
// while the header still names the old version. To version 3: the people lists TIPL and TMCL
// become one IPLS, the values of a text list are joined with "/", and frames version 3 has no
// form for go; returns their IDs, each once, in tag order. To version 4: IPLS becomes TIPL;
// texts are not split at "/", which may belong to a name ("AC/DC"); the frames version 4 removed
// (RVAD, EQUA, TSIZ, what is left of the dates) go, their IDs returned as above.
std::vector<std::string> FramesToVersion3(TID3Tag& tag);
std::vector<std::string> FramesToVersion4(TID3Tag& tag);

}  // namespace tagscope
