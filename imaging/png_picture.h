#pragma once

#include <string>

#include "tagscope/imaging/graphic.h"

namespace tagscope {

inline constexpr const char* SPNGDescription = "Portable Network Graphics";

// A PNG picture decoded through libspng. Opaque pictures become 24-bit bitmaps; pictures with
// an alpha channel or a transparency chunk become 32-bit bitmaps that keep each pixel's
// opacity (HasAlpha). 16-bit samples keep their high byte; gamma and colour profiles are left
// as the file has them, as other viewers do. The decoder's errors raise EPNG "PNG error: "
// with its message; a picture whose bitmap would exceed the picture's Limits() is refused
// before decoding.
class TPNGPicture : public TStillPicture {
 public:
  void LoadFromStream(TStream& stream) override;
  // Decodes the bytes where they are.
  void LoadFromBytes(std::string bytes) override { LoadFromPngBytes(bytes); }
  void LoadFromPngBytes(const std::string& bytes);
  // Pictures stored row after row (not interlaced), their opacity left out as the bitmap's
  // PixelRGB leaves it out.
  bool DecodeRGBRows(std::string& bytes, TRGBRowSink& sink) override;
};

// Decodes PNG bytes into a bitmap; the errors are those of TPNGPicture.
TBitmapData DecodePng(const std::string& bytes, const TDecodeLimits& limits = {});

}  // namespace tagscope
