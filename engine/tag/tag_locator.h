#pragma once

#include <cstdint>

#include "tagscope/rtl/stream.h"

namespace tagscope {

// Searches the whole stream for a tag signature as a scan in 4096-byte chunks from offset 0
// would: within one chunk the first hit counts, and a hit in a later chunk replaces an
// earlier one (a signature that straddles two chunks belongs to the chunk of its first
// byte). Reads the stream in large blocks. Returns the offset found, or -1.
int64_t FindTagSignature(TStream& stream);

}  // namespace tagscope
