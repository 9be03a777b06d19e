#include "imaging/bitmap.h"

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

}  // namespace tagscope
