#pragma once

#include <cstdint>
#include <optional>

#include "engine/trailers/tail_bytes.h"
#include "engine/trailers/trailer_locator.h"

namespace tagscope {

namespace id3v1 {
inline constexpr int64_t kSize = 128;
}  // namespace id3v1

// The ID3v1 trailer that ends at `end` (the file's end): "TAG" 128 bytes before it. Its size is
// fixed, so a trailer found is proven; none when the bytes do not begin so.
std::optional<TTrailerBlock> LocateID3v1(TTailBytes& bytes, int64_t end);

}  // namespace tagscope
