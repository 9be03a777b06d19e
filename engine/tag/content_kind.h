#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "tagscope/rtl/stream.h"

namespace tagscope {

// How many bytes of a file's content ForeignContentName looks at.
inline constexpr size_t ContentSignatureBytes = 16;

// What the bytes that begin a file's content (past any ID3v2 tag) show it to be when it is
// plainly something other than MP3 audio: "a FLAC file", "a JPEG picture"; empty when they
// show no such thing (MPEG audio, junk, an empty file). Only signatures that no MPEG frame
// header begins with are taken.
std::string ForeignContentName(std::string_view head);

// The same for a stream: the content is looked for past the ID3v2 tags that begin at `from`.
std::string ForeignContentOf(TStream& stream, int64_t from);

}  // namespace tagscope
