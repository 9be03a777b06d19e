#pragma once

#include <cstdint>

#include "engine/file/tag_file.h"
#include "engine/trailers/trailer_locator.h"

namespace tagscope {

// The blocks behind the audio of the open file, read through `stream` (the file's own or its
// cache), of `size` bytes, none below `floor`. A file open for reading only is looked at once:
// the places are kept with what its reads fetched, and the last kilobytes are viewed there.
TTrailerPlaces LocatedTrailers(TTagFile& file, TStream& stream, int64_t size, int64_t floor);

}  // namespace tagscope
