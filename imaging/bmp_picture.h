#pragma once

#include <string>

#include "tagscope/imaging/graphic.h"

namespace tagscope {

inline constexpr const char* SBitmapDescription = "Bitmaps";

// A Windows bitmap file (.bmp): 1, 4, 8, 16, 24 or 32 bits per pixel, core or info headers
// (12, 40, 108 or 124 bytes), bit fields, RLE4 and RLE8, rows top-down or bottom-up. Palette
// bitmaps stay palette bitmaps; 16-bit and bit-field pixels become 24 or 32 bits. Anything
// else fails with "Bitmap image is not valid".
class TBitmapPicture : public TStillPicture {
 public:
  void LoadFromStream(TStream& stream) override;
  // Reads a whole bitmap file held in memory.
  void LoadFromFileBytes(const std::string& bytes);
};

}  // namespace tagscope
