#pragma once

#include <cstdint>

#include "tagscope/rtl/exception.h"
#include "tagscope/rtl/stream.h"

namespace tagscope {

// Errors of the compression layer: a negative zlib result ("Error"), or inflated data past the
// limit below.
class ECompressionError : public Exception {
  using Exception::Exception;
};
class EDecompressionError : public Exception {
  using Exception::Exception;
};

// Level index 0..3: none, fastest, default, best (zlib levels 0, 1, -1, 9).
enum class TCompressionLevel { clNone, clFastest, clDefault, clMax };

// No real tag holds a frame that inflates to more than this.
inline constexpr int64_t MaxInflatedSize = 64 * 1024 * 1024;
// Nor do all the compressed frames of a tag together inflate to more than this.
inline constexpr int64_t MaxInflatedTagSize = 2 * MaxInflatedSize;

// Replaces the whole content of the stream by its zlib-compressed form (RFC 1950); the stream
// stands at its end afterwards.
void CompressStream(TStream& stream, TCompressionLevel level);
// Replaces the whole content of the stream by its inflated form; the stream stands at its end.
// Corrupt data raises EDecompressionError("Error") keeping what was inflated before it; data
// that ends early keeps what was inflated; data inflating past MaxInflatedSize raises
// EDecompressionError.
void DecompressStream(TStream& stream, int64_t limit = MaxInflatedSize);

}  // namespace tagscope
