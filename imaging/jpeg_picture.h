#pragma once

#include <string>

#include "tagscope/imaging/graphic.h"

namespace tagscope {

inline constexpr const char* SJPEGDescription = "JPEG Image File";

// A JPEG picture decoded through libjpeg into a 24-bit bitmap (8 bits with a grey palette for
// greyscale pictures). libjpeg's errors raise EJPEG "JPEG error: " with libjpeg's message; a
// picture whose bitmap would exceed the picture's Limits() is refused before decoding.
class TJPEGPicture : public TStillPicture {
 public:
  void LoadFromStream(TStream& stream) override;
  // Decodes the bytes where they are.
  void LoadFromBytes(std::string bytes) override { LoadFromJpegBytes(bytes); }
  void LoadFromJpegBytes(const std::string& bytes);
  // Colour pictures; greyscale and CMYK ones go through the bitmap.
  bool DecodeRGBRows(std::string& bytes, TRGBRowSink& sink) override;
};

// Decodes JPEG bytes into a bitmap; the errors are those of TJPEGPicture.
TBitmapData DecodeJpeg(const std::string& bytes, const TDecodeLimits& limits = {});

}  // namespace tagscope
