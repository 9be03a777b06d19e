#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tagscope/imaging/bitmap.h"
#include "tagscope/imaging/graphic.h"

namespace tagscope::test {

// Packs LZW codes least significant bit first and cuts them into data sub-blocks.
class TCodePacker {
 public:
  void Put(uint32_t code, int width);
  // The sub-blocks of at most blockSize bytes each, with the zero terminator when asked.
  std::string Blocks(int blockSize = 255, bool terminator = true) const;
  const std::string& Bytes() const { return FBytes; }

 private:
  std::string FBytes;
  uint64_t FBits = 0;
  int FCount = 0;
};

// Packs a code sequence with the widths a decoder of code size codeSize expects (the width
// grows with the table and starts over after each clear code).
std::string PackCodes(int codeSize, const std::vector<uint32_t>& codes, int blockSize = 255,
                      bool terminator = true);
// A whole code stream: the code size byte followed by PackCodes.
std::string CodeStream(int codeSize, const std::vector<uint32_t>& codes, int blockSize = 255,
                       bool terminator = true);

// The shapes of code stream that GIF writers make.
struct TLzwOptions {
  bool LeadingClear = true;  // a clear code before the first code
  int ClearRepeats = 1;      // clear codes written in a row wherever one is written
  // Codes written with the full table before the clear code: 0 clears as soon as the table is
  // full, -1 never clears and goes on with the full table.
  int DeferredCodes = 0;
};

// Compresses colour indexes the way GIF writers do: by default a clear code first, a clear code
// whenever the table is full, an end code last.
std::vector<uint32_t> LzwCodes(int codeSize, const std::vector<uint8_t>& pixels,
                               const TLzwOptions& options = {});

// The pixels in the order an interlaced frame stores its rows.
std::vector<uint8_t> InterlaceRows(const std::vector<uint8_t>& pixels, int width, int height);

struct TGifFrameInput {
  int Left = 0, Top = 0, Width = 0, Height = 0;
  std::vector<uint8_t> Pixels;       // top-down, one index per pixel
  std::vector<uint8_t> LocalColors;  // red, green, blue triples; empty = none
  bool Interlaced = false;
  int CodeSize = 0;  // 0: from the largest index (at least 2)
  TLzwOptions Lzw;
  int BlockSize = 255;
  int TransparentIndex = -1;  // a graphic control extension when >= 0 or Delay > 0
  int Delay = 0;
  int Disposal = 0;
};

// Builds GIF files from parts.
class TGifBuilder {
 public:
  TGifBuilder& Header(const std::string& signature = "GIF89a");
  TGifBuilder& Screen(int width, int height, const std::vector<uint8_t>& globalColors = {},
                      int backgroundIndex = 0);
  TGifBuilder& Frame(const TGifFrameInput& frame);
  TGifBuilder& GraphicControl(int flags, int delay, int transparentIndex);
  TGifBuilder& Comment(const std::vector<std::string>& lines);
  TGifBuilder& Application(const std::string& identifier, const std::vector<std::string>& blocks,
                           int blockSize = 11);
  TGifBuilder& PlainText();
  TGifBuilder& Raw(const std::string& bytes);
  TGifBuilder& Trailer();
  const std::string& Bytes() const { return FBytes; }

 private:
  std::string FBytes;
};

// A palette of count entries with distinct colours.
std::vector<uint8_t> TestColors(int count);
// Colour table bits for a table of count entries (1 to 8).
int TableBits(int count);

// The colour indexes of a palette bitmap, top row first.
std::vector<uint8_t> Indexes(const TBitmapData& bitmap);
// A bitmap's pixels as red, green, blue, top row first (TRGBRows).
std::vector<uint8_t> RGBRows(const TBitmapData& bitmap);

// Gathers the rows a picture decodes into it.
struct TRowCollector : TRGBRowSink {
  int Width = -1, Height = -1;
  void Start(int width, int height) override;
  uint8_t* NextRow() override;
  // The rows handed over, checked to be Height of them.
  std::vector<uint8_t> Rows() const;

 private:
  std::vector<uint8_t> FBytes;
  size_t FUsed = 0;
};

// Pseudo-random numbers for generated pictures and streams (xorshift, fixed start).
class TRandom {
 public:
  explicit TRandom(uint64_t state = 0x9E3779B97F4A7C15ull) : FState(state ? state : 1) {}
  uint32_t Next() {
    FState ^= FState << 13;
    FState ^= FState >> 7;
    FState ^= FState << 17;
    return static_cast<uint32_t>(FState >> 11);
  }
  int Below(int n) { return static_cast<int>(Next() % static_cast<uint32_t>(n)); }

 private:
  uint64_t FState;
};

// A picture with smooth areas, edges and noise, indexes below colorCount.
std::vector<uint8_t> TestPicture(int width, int height, int colorCount, uint64_t variant = 1);

}  // namespace tagscope::test
