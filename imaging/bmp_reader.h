#pragma once

#include <string>

#include "tagscope/imaging/bitmap.h"

namespace tagscope {

// Decodes the bytes of a bitmap file; raises EInvalidGraphic "Bitmap image is not valid" for
// anything it cannot read.
TBitmapData ReadBitmapFile(const std::string& bytes);

}  // namespace tagscope
