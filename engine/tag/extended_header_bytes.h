#pragma once

#include <cstdint>
#include <string>

#include "tagscope/engine/id3_header.h"

namespace tagscope {

// The extended header of a tag in its version's layout, for the given frames (as stored,
// before a version 3 tag's unsynchronisation) and padding. Version 3: a size of 6 or 10 that
// leaves out its own four bytes, the flags, the padding size and a CRC of the frames alone.
// Version 4: each flag's data after the flags byte, preceded by its length (0 for the update
// flag, 5 for the CRC of frames and padding, 1 for the restrictions). A CRC is computed afresh
// and stored in the header's CRCData.
std::string ExtendedHeaderBytes(TID3Header& header, const std::string& frames, int64_t padding);

}  // namespace tagscope
