#include "imaging/gif_pixel_writer.h"

#include <algorithm>
#include <cstring>

namespace tagscope {

int NextInterlacedRow(int row, int height, int& pass) {
  static constexpr int kStep[4] = {8, 8, 4, 2};
  if (pass > 3) return std::max(row, height);
  row += kStep[pass];
  if (row < height) return row;
  ++pass;
  if (pass == 1) {
    if (4 < height) return 4;
    ++pass;
  }
  if (pass == 2) {
    if (2 < height) return 2;
    ++pass;
  }
  if (pass == 3) return 1;  // taken without a test: a frame of height 1 ends here
  return row;
}

TPixelWriter::TPixelWriter(TBitmapData& bitmap, bool interlaced)
    : FBitmap(bitmap), FInterlaced(interlaced), FWidth(bitmap.Width), FHeight(bitmap.Height) {
  if (Done()) return;
  if (FBitmap.BitCount == 8) {
    FRow = FBitmap.TopDownRow(0);
  } else {
    FRowBuffer.assign(static_cast<size_t>(FWidth), 0);
    FRow = FRowBuffer.data();
  }
}

void TPixelWriter::PutRun(const uint8_t* pixels, int count) {
  while (count > 0 && !Done()) {
    const int n = std::min(count, Room());
    std::memcpy(Cursor(), pixels, static_cast<size_t>(n));
    pixels += n;
    count -= n;
    Advance(n);
  }
}

void TPixelWriter::Finish() {
  if (!Done() && FX > 0 && FBitmap.BitCount != 8) PackRow(FX);
}

void TPixelWriter::EndRow() {
  if (FBitmap.BitCount != 8) PackRow(FWidth);
  FX = 0;
  FY = FInterlaced ? NextInterlacedRow(FY, FHeight, FPass) : FY + 1;
  if (FBitmap.BitCount == 8 && !Done()) FRow = FBitmap.TopDownRow(FY);
}

void TPixelWriter::PackRow(int count) {
  uint8_t* out = FBitmap.TopDownRow(FY);
  const uint8_t* in = FRowBuffer.data();
  if (FBitmap.BitCount == 1) {
    for (int x = 0; x < count; ++x) out[x >> 3] |= uint8_t((in[x] & 1) << (7 - (x & 7)));
  } else {
    for (int x = 0; x < count; ++x) out[x >> 1] |= uint8_t((in[x] & 15) << ((x & 1) ? 0 : 4));
  }
}

}  // namespace tagscope
