#pragma once

#include <functional>
#include <string>

#include "tagscope/rtl/stream.h"

namespace tagscope {

// The reason given when an output's name is taken and replacing it was not asked for.
inline constexpr const char* SOutputExists = "A file of that name exists already";

// Writes a file the user asked for (a picture taken out of a tag, a decoded image) through
// `write`: into a new file beside it, created exclusively, flushed, then renamed into place, so
// that `name` ends up holding all of it or is left as it was. Nothing under `name` is followed:
// a link there is never written through; with `replace` it is itself replaced. Without
// `replace` a name that is taken, also when it is taken during the write, is left alone and
// EFCreateError raised with SOutputExists. `write` returns false when it has nothing to
// write: no file is made, and false returned. Errors raise EFCreateError or the stream's error,
// naming `name`; the scratch file is deleted whatever fails.
bool WriteOutputFile(const std::string& name, bool replace,
                     const std::function<bool(TStream&)>& write);

}  // namespace tagscope
