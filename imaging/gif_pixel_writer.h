#pragma once

#include <cstdint>
#include <vector>

#include "tagscope/imaging/bitmap.h"
#include "tagscope/imaging/graphic.h"

namespace tagscope {

// The row that follows row in an interlaced frame of the given height: passes 0 to 3 step by
// 8, 8, 4 and 2 rows from rows 0, 4, 2 and 1. pass starts at 0 with row 0. Once every pass is
// done the result is at or beyond the height.
int NextInterlacedRow(int row, int height, int& pass);

// Places decoded colour indexes into a palette bitmap in the frame's row order. The bitmap's
// buffer need not be cleared: the writer clears each row's padding and, in Finish, the rows
// that decoding did not reach. The decoder
// writes pixels, one byte each, into a row buffer through a cursor that it keeps itself; the
// buffer has room for a whole code's string (and 8 bytes more) beyond the row's end, so that
// strings are written without checks and with whole 8-byte stores. Flush moves each completed
// row into the bitmap (packing 1- and 4-bit rows) and carries what went past it into the next.
class TPixelWriter {
 public:
  static constexpr int Slack = 4097 + 8;

  TPixelWriter(TBitmapData& bitmap, bool interlaced);
  // Rows go to sink instead of the bitmap (whose pixel buffer stays empty), each index as the
  // colour colors[index] (red, green, blue in the low three bytes). Only for a frame that is
  // not interlaced, whose rows come in order.
  void SetRowSink(TRGBRowSink* sink, const uint32_t* colors) {
    FSink = sink;
    FColors = colors;
  }

  // The cursor at the start of the first row, or null when the frame has no pixels.
  uint8_t* Start();
  // Where the current row ends: a cursor at or past it needs Flush.
  uint8_t* RowLimit() const { return FLimit; }
  // Completes the rows the cursor has passed; gives the new cursor, or null once every row is
  // done (further pixels are then ignored).
  uint8_t* Flush(uint8_t* out);
  uint8_t* PutPixel(uint8_t value, uint8_t* out) {
    if (!out) return out;
    *out++ = value;
    return out >= FLimit ? Flush(out) : out;
  }
  // Places count pixels.
  uint8_t* PutRun(const uint8_t* pixels, int count, uint8_t* out);
  // Stores the pixels of a row left incomplete and clears the rows after it in the frame's order.
  void Finish(const uint8_t* out);

 private:
  void StoreRow(int count);
  // A row of the sink: count pixels from the row buffer, the rest index 0.
  void SinkRow(int count);

  TBitmapData& FBitmap;
  bool FInterlaced;
  int FWidth;
  int FHeight;
  int FY = 0;
  int FPass = 0;
  std::vector<uint8_t> FRowBuffer;
  TRGBRowSink* FSink = nullptr;
  const uint32_t* FColors = nullptr;
  uint8_t* FLimit = nullptr;
};

}  // namespace tagscope
