#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tagscope {

// The ID3v2 unsynchronisation scheme: a zero byte is inserted after every 0xFF that is
// followed by a byte of 0xE0 or more or by a zero byte, and after a 0xFF at the very end.
std::string ApplyUnsynchronisation(std::string_view bytes);
// Undoes the scheme: every zero byte that directly follows a 0xFF is dropped.
std::string UndoUnsynchronisation(std::string_view stored);
// Where, in the stored bytes, the decoded byte at decodedOffset came from (stored.size() for
// an offset at or past the decoded end).
int64_t StoredOffset(std::string_view stored, int64_t decodedOffset);

}  // namespace tagscope
