#pragma once

#include <string>

#include "imaging/gif_decoder.h"

namespace tagscope::test {

// The GIF frame decoder written plainly, step by step: a prefix/suffix table walked through an
// output stack, codes taken from a 260-byte buffer, one pixel placed at a time. The fast
// decoder must give the same pixels and the same damaged mark for every input.
TDecodedFrame ReferenceDecodeFrame(const std::string& codeStream, int width, int height,
                                   int pixelBits, const TGIFColors& colors, bool interlaced);

}  // namespace tagscope::test
