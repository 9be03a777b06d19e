#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tagscope {

// One palette entry in the order a device-independent bitmap stores it.
struct TRGBQuad {
  uint8_t Blue = 0;
  uint8_t Green = 0;
  uint8_t Red = 0;
  uint8_t Reserved = 0;
  bool operator==(const TRGBQuad&) const = default;
};

using TPixelBuffer = std::vector<uint8_t>;

// A device-independent bitmap in memory: rows bottom-up, each padded to a multiple of four
// bytes; 1, 4 and 8 bits per pixel index Palette, 24 bits are B,G,R and 32 bits B,G,R,x.
// The Win32 backend draws it with StretchDIBits as it stands, blending it over the background
// first when it has alpha.
struct TBitmapData {
  int Width = 0;
  int Height = 0;
  int BitCount = 0;
  // A 32-bit bitmap whose fourth byte is each pixel's opacity (0 transparent, 255 opaque; the
  // colour not multiplied by it). Colours as PixelRGB and TRGBRows give them leave it out.
  bool HasAlpha = false;
  std::vector<TRGBQuad> Palette;
  TPixelBuffer Pixels;

  static int RowStride(int width, int bitCount) { return ((width * bitCount + 31) / 32) * 4; }
  int Stride() const { return RowStride(Width, BitCount); }
  bool Empty() const { return Width <= 0 || Height <= 0; }
  // Row y counted from the top of the picture.
  uint8_t* TopDownRow(int y) {
    return Pixels.data() + static_cast<size_t>(Height - 1 - y) * Stride();
  }
  const uint8_t* TopDownRow(int y) const {
    return Pixels.data() + static_cast<size_t>(Height - 1 - y) * Stride();
  }
  // The colour of pixel (x, y), y from the top, as red, green, blue.
  void PixelRGB(int x, int y, uint8_t& r, uint8_t& g, uint8_t& b) const;
};

// Whole rows of a bitmap as red, green, blue bytes, each pixel as PixelRGB gives it: palette
// bitmaps through a table of the palette's colours, 24- and 32-bit ones byte by byte.
class TRGBRows {
 public:
  explicit TRGBRows(const TBitmapData& bitmap);
  // Bytes a row takes at out: three per pixel, plus one that Get may overwrite.
  size_t BufferSize() const { return static_cast<size_t>(FBitmap.Width) * 3 + 1; }
  // Row y (0 = top) into out, which holds BufferSize() bytes.
  void Get(int y, uint8_t* out) const;

 private:
  const TBitmapData& FBitmap;
  // Each palette index's colour as red, green, blue in the low three bytes (in memory order).
  std::array<uint32_t, 256> FColors{};
};

}  // namespace tagscope
