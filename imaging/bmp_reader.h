#pragma once

#include <string>

#include "tagscope/imaging/bitmap.h"
#include "tagscope/imaging/graphic.h"

namespace tagscope {

// Decodes the bytes of a bitmap file; raises EInvalidGraphic "Bitmap image is not valid" for
// anything it cannot read, a bitmap beyond the limits included.
TBitmapData ReadBitmapFile(const std::string& bytes, const TDecodeLimits& limits = {});

}  // namespace tagscope
