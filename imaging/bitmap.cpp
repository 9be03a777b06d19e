#include "tagscope/imaging/bitmap.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace tagscope {

void TBitmapData::PixelRGB(int x, int y, uint8_t& r, uint8_t& g, uint8_t& b) const {
  r = g = b = 0;
  if (x < 0 || y < 0 || x >= Width || y >= Height || Pixels.empty()) return;
  const uint8_t* row = TopDownRow(y);
  int index = -1;
  switch (BitCount) {
    case 1:
      index = (row[x >> 3] >> (7 - (x & 7))) & 1;
      break;
    case 4:
      index = (x & 1) ? (row[x >> 1] & 0x0F) : (row[x >> 1] >> 4);
      break;
    case 8:
      index = row[x];
      break;
    case 24:
    case 32: {
      const uint8_t* p = row + static_cast<size_t>(x) * (BitCount / 8);
      b = p[0];
      g = p[1];
      r = p[2];
      return;
    }
    default:
      return;
  }
  if (index < static_cast<int>(Palette.size())) {
    const TRGBQuad& q = Palette[static_cast<size_t>(index)];
    r = q.Red;
    g = q.Green;
    b = q.Blue;
  }
}

TRGBRows::TRGBRows(const TBitmapData& bitmap) : FBitmap(bitmap) {
  static_assert(std::endian::native == std::endian::little);
  // Indexes beyond the palette are black, as PixelRGB gives them.
  const size_t count = std::min<size_t>(bitmap.Palette.size(), FColors.size());
  for (size_t i = 0; i < count; ++i) {
    const TRGBQuad& q = bitmap.Palette[i];
    FColors[i] = uint32_t(q.Red) | uint32_t(q.Green) << 8 | uint32_t(q.Blue) << 16;
  }
}

void TRGBRows::Get(int y, uint8_t* out) const {
  const int width = FBitmap.Width;
  if (width <= 0) return;
  const uint8_t* row = FBitmap.TopDownRow(y);
  // Each pixel is stored as four bytes, the fourth overwritten by the next pixel (or falling on
  // the spare byte after the row).
  auto put = [&](int x, uint32_t color) { std::memcpy(out + size_t(x) * 3, &color, 4); };
  switch (FBitmap.BitCount) {
    case 8:
      for (int x = 0; x < width; ++x) put(x, FColors[row[x]]);
      break;
    case 4:
      for (int x = 0; x < width; ++x) put(x, FColors[(row[x >> 1] >> ((x & 1) ? 0 : 4)) & 15]);
      break;
    case 1:
      for (int x = 0; x < width; ++x) put(x, FColors[(row[x >> 3] >> (7 - (x & 7))) & 1]);
      break;
    case 24:
    case 32: {
      // Blue, green, red (and a fourth byte) turned around as one word: red, green, blue.
      const size_t step = FBitmap.BitCount / 8;
      // A 24-bit row's last pixel is read byte by byte: its fourth byte may lie past the buffer.
      const int whole = step == 4 ? width : width - 1;
      for (int x = 0; x < whole; ++x) {
        uint32_t bgr;
        std::memcpy(&bgr, row + size_t(x) * step, 4);
        put(x, __builtin_bswap32(bgr) >> 8);
      }
      if (whole < width) {
        const uint8_t* last = row + size_t(whole) * step;
        put(whole, uint32_t(last[2]) | uint32_t(last[1]) << 8 | uint32_t(last[0]) << 16);
      }
      break;
    }
    default:
      std::memset(out, 0, size_t(width) * 3);
      break;
  }
}

}  // namespace tagscope
