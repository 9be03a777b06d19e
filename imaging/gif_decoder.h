#pragma once

#include <functional>
#include <string>

#include "imaging/gif_colors.h"
#include "tagscope/imaging/bitmap.h"
#include "tagscope/imaging/graphic.h"
#include "tagscope/rtl/stream.h"

namespace tagscope {

inline constexpr const char* SWrongColorCount = "Wrong number of colors; must be a power of 2";

// Receives the decoder's progress: stage, percentage and, when decoding fails, the message.
using TDecodeProgress =
    std::function<void(TProgressStage stage, int percent, const std::string& message)>;

// One GIF frame's LZW data turned into a palette bitmap (1, 4 or 8 bits, rows bottom-up).
struct TDecodedFrame {
  TBitmapData Bitmap;
  // The data was found damaged: a code size out of range (2 to 11 decode), a broken code
  // chain, a table code where the table is empty (first, or right after a clear code), or data
  // that ended before the last row. The pixels decoded up to that point are kept.
  bool Damaged = false;
};

// Decodes a frame's code stream: the LZW code size byte followed by the data sub-blocks.
// pixelBits (1 to 8) is the size of the frame's colour table. Raises EInvalidGraphicOperation
// for pixelBits out of range or a bitmap beyond the limits, EReadError for a missing code
// size byte. A frame of width or height 0 gives an empty bitmap.
TDecodedFrame DecodeFrame(const std::string& codeStream, int width, int height, int pixelBits,
                          const TGIFColors& colors, bool interlaced,
                          const TDecodeProgress& progress = {}, const TDecodeLimits& limits = {});
// Decodes a frame that is not interlaced straight into sink: its rows, top first, as red,
// green and blue of the palette entry that DecodeFrame's bitmap would hold. Keeps no bitmap;
// gives the damaged mark. The errors are DecodeFrame's, raised before sink.Start where
// DecodeFrame raises them before decoding.
bool DecodeFrameRows(const std::string& codeStream, int width, int height, int pixelBits,
                     const TGIFColors& colors, TRGBRowSink& sink,
                     const TDecodeProgress& progress = {}, const TDecodeLimits& limits = {});
// The same as DecodeFrame, reading the code stream from its start.
TDecodedFrame DecodeFrame(TStream& codeStream, int width, int height, int pixelBits,
                          const TGIFColors& colors, bool interlaced,
                          const TDecodeProgress& progress = {}, const TDecodeLimits& limits = {});

}  // namespace tagscope
