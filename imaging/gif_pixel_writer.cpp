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
    : FBitmap(bitmap), FInterlaced(interlaced), FWidth(bitmap.Width), FHeight(bitmap.Height) {}

uint8_t* TPixelWriter::Start() {
  if (FWidth <= 0 || FHeight <= 0) return nullptr;
  FRowBuffer.assign(static_cast<size_t>(FWidth) + Slack, 0);
  FLimit = FRowBuffer.data() + FWidth;
  return FRowBuffer.data();
}

uint8_t* TPixelWriter::Flush(uint8_t* out) {
  uint8_t* const start = FRowBuffer.data();
  while (out >= FLimit) {
    StoreRow(FWidth);
    FY = FInterlaced ? NextInterlacedRow(FY, FHeight, FPass) : FY + 1;
    if (FY >= FHeight) return nullptr;
    const size_t carried = static_cast<size_t>(out - FLimit);
    std::memmove(start, FLimit, carried);
    out = start + carried;
  }
  return out;
}

uint8_t* TPixelWriter::PutRun(const uint8_t* pixels, int count, uint8_t* out) {
  if (!out) return out;
  std::memcpy(out, pixels, static_cast<size_t>(count));
  out += count;
  return out >= FLimit ? Flush(out) : out;
}

void TPixelWriter::Finish(const uint8_t* out) {
  if (!out) return;
  // The row reached and every row after it in the frame's order: the row's pixels so far, then
  // index 0 for all that decoding did not reach.
  StoreRow(static_cast<int>(out - FRowBuffer.data()));
  for (;;) {
    FY = FInterlaced ? NextInterlacedRow(FY, FHeight, FPass) : FY + 1;
    if (FY >= FHeight) break;
    StoreRow(0);
  }
}

void TPixelWriter::SinkRow(int count) {
  uint8_t* out = FSink->NextRow();
  const uint8_t* in = FRowBuffer.data();
  // Four bytes per pixel, the fourth overwritten by the next one or falling on the spare byte.
  for (int x = 0; x < count; ++x) std::memcpy(out + size_t(x) * 3, &FColors[in[x]], 4);
  for (int x = count; x < FWidth; ++x) std::memcpy(out + size_t(x) * 3, &FColors[0], 4);
}

void TPixelWriter::StoreRow(int count) {
  if (FSink) {
    SinkRow(count);
    return;
  }
  uint8_t* row = FBitmap.TopDownRow(FY);
  const uint8_t* in = FRowBuffer.data();
  const size_t stride = static_cast<size_t>(FBitmap.Stride());
  switch (FBitmap.BitCount) {
    case 8:
      std::memcpy(row, in, static_cast<size_t>(count));
      std::memset(row + count, 0, stride - static_cast<size_t>(count));
      break;
    case 1:
      std::memset(row, 0, stride);
      for (int x = 0; x < count; ++x)
        row[x >> 3] |= static_cast<uint8_t>((in[x] & 1) << (7 - (x & 7)));
      break;
    default:
      std::memset(row, 0, stride);
      for (int x = 0; x < count; ++x)
        row[x >> 1] |= static_cast<uint8_t>((in[x] & 15) << ((x & 1) ? 0 : 4));
      break;
  }
}

}  // namespace tagscope
