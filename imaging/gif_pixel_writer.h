#pragma once

#include <cstdint>
#include <vector>

#include "imaging/bitmap.h"

namespace tagscope {

// The row that follows row in an interlaced frame of the given height: passes 0 to 3 step by
// 8, 8, 4 and 2 rows from rows 0, 4, 2 and 1. pass starts at 0 with row 0. Once every pass is
// done the result is at or beyond the height.
int NextInterlacedRow(int row, int height, int& pass);

// Places decoded colour indexes into a palette bitmap in the frame's row order. Pixels are
// collected one row at a time as bytes and packed into 1 or 4 bits when the row is complete;
// 8-bit rows are written in place. Pixels after the last row are ignored.
class TPixelWriter {
 public:
  TPixelWriter(TBitmapData& bitmap, bool interlaced);

  bool Done() const { return FY >= FHeight; }
  // Room left in the current row, and where its next pixel goes.
  int Room() const { return FWidth - FX; }
  uint8_t* Cursor() { return FRow + FX; }
  // Takes count pixels written at Cursor(); count must not exceed Room().
  void Advance(int count) {
    FX += count;
    if (FX == FWidth) EndRow();
  }
  void PutPixel(uint8_t value) {
    if (Done()) return;
    FRow[FX] = value;
    Advance(1);
  }
  // Places count pixels that may run over several rows.
  void PutRun(const uint8_t* pixels, int count);
  // Packs the pixels of a row left incomplete.
  void Finish();

 private:
  void EndRow();
  void PackRow(int count);

  TBitmapData& FBitmap;
  bool FInterlaced;
  int FWidth;
  int FHeight;
  int FX = 0;
  int FY = 0;
  int FPass = 0;
  uint8_t* FRow = nullptr;
  std::vector<uint8_t> FRowBuffer;  // the current row's indexes for 1- and 4-bit bitmaps
};

}  // namespace tagscope
