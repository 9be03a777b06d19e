#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "engine/trailers/tail_bytes.h"
#include "engine/trailers/trailer_locator.h"

namespace tagscope {

namespace lyrics3 {
inline constexpr int64_t kBeginSize = 11;          // "LYRICSBEGIN"
inline constexpr int64_t kEndSize = 9;             // "LYRICSEND", "LYRICS200"
inline constexpr int64_t kSizeDigits = 6;          // version 2's size, before "LYRICS200"
inline constexpr int64_t kMaxText1 = 5100;         // version 1's text at most
inline constexpr int64_t kMaxSize2 = 999999 + 15;  // version 2's block at most

// A decimal number of exactly the bytes given, as the block writes its sizes; -1 when any is
// not a digit.
int64_t Digits(std::string_view text);
}  // namespace lyrics3

// The Lyrics3 block whose end marker ends at `end`, its start proven or its damage named; none
// when no end marker ends there.
std::optional<TTrailerBlock> LocateLyrics3(TTailBytes& bytes, int64_t end);

}  // namespace tagscope
