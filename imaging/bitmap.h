#pragma once

#include <cstdint>
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

// A device-independent bitmap in memory: rows bottom-up, each padded to a multiple of four
// bytes; 1, 4 and 8 bits per pixel index Palette, 24 bits are B,G,R and 32 bits B,G,R,x.
// The Win32 backend draws it with StretchDIBits as it stands.
struct TBitmapData {
  int Width = 0;
  int Height = 0;
  int BitCount = 0;
  std::vector<TRGBQuad> Palette;
  std::vector<uint8_t> Pixels;

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

}  // namespace tagscope
