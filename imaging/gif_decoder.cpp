#include "imaging/gif_decoder.h"

#include <algorithm>
#include <vector>

#include "imaging/gif_code_reader.h"
#include "imaging/gif_pixel_writer.h"
#include "rtl/exception.h"

namespace tagscope {
namespace {

constexpr uint32_t kTableSize = 4096;
constexpr int kMaxCodeWidth = 12;
// The longest expansion a code may have; a longer one means the code chain runs in a circle.
constexpr int kStackLimit = 4097;

// One code of the LZW table. Besides the code's last pixel and the code it extends, an entry
// keeps the length of its whole string and its first pixel, so that a code's pixels are
// written straight into place, back to front, walking its chain once.
struct TLzwEntry {
  uint16_t Prefix = 0;
  uint16_t Length = 0;  // 0: not known, the string is expanded by a checked walk
  uint8_t Suffix = 0;
  uint8_t First = 0;
};

class TLzwDecoder {
 public:
  TLzwDecoder(TCodeReader& reader, TPixelWriter& writer, int codeSize, int pixelBits, bool damaged,
              const TDecodeProgress& progress, int64_t streamSize);
  // Decodes up to the end code, the end of the data or the last row; returns the damaged mark.
  bool Run();

 private:
  void ResetCodes();
  bool Expand(uint32_t code);
  bool ExpandChecked(uint32_t code);
  void AddEntry();
  void ReportProgress();
  // The string length of a code used as a prefix, or 0 when it is not known for sure.
  unsigned ChainLength(uint32_t code) const {
    return (code < FNextCode || code <= FMask) ? FTable[code].Length : 0;
  }
  void WriteChain(uint8_t* out, unsigned length, uint32_t code) const {
    for (unsigned i = length - 1; i > 0; --i) {
      out[i] = FTable[code].Suffix;
      code = FTable[code].Prefix;
    }
    out[0] = static_cast<uint8_t>(code);
  }

  TCodeReader& FReader;
  TPixelWriter& FWriter;
  const TDecodeProgress& FProgress;
  int64_t FStreamSize;
  std::vector<TLzwEntry> FTable;
  std::vector<uint8_t> FScratch;
  int FCodeSize;
  uint32_t FMask;
  uint32_t FClearCode;
  uint32_t FEndCode;
  uint32_t FNextCode = 0;
  int FCodeWidth = 0;
  uint32_t FWidthLimit = 0;
  uint32_t FPrevCode = 0;
  uint8_t FFirstPixel = 0;
  bool FTableFull = false;
  bool FDamaged;
};

TLzwDecoder::TLzwDecoder(TCodeReader& reader, TPixelWriter& writer, int codeSize, int pixelBits,
                         bool damaged, const TDecodeProgress& progress, int64_t streamSize)
    : FReader(reader),
      FWriter(writer),
      FProgress(progress),
      FStreamSize(streamSize),
      FTable(kTableSize),
      FScratch(kStackLimit),
      FCodeSize(codeSize),
      FMask((1u << pixelBits) - 1),
      FClearCode(1u << codeSize),
      FEndCode(FClearCode + 1),
      FDamaged(damaged) {
  // Codes up to the mask are literal pixels; codes between the mask and the first table entry
  // are never written and stand for two pixels of index 0.
  for (uint32_t c = 0; c < kTableSize; ++c) {
    if (c <= FMask) {
      FTable[c].Length = 1;
      FTable[c].First = static_cast<uint8_t>(c);
    } else if (c < FClearCode + 2) {
      FTable[c].Length = 2;
    }
  }
  ResetCodes();
}

void TLzwDecoder::ResetCodes() {
  FCodeWidth = FCodeSize + 1;
  FWidthLimit = 1u << FCodeWidth;
  FNextCode = FClearCode + 2;
}

bool TLzwDecoder::Run() {
  uint32_t code = FReader.NextCode(FCodeWidth);
  while (code != FEndCode && code != TCodeReader::EndOfData && !FWriter.Done()) {
    if (code == FClearCode) {
      ResetCodes();
      // The code after a clear code is a pixel, whatever its value.
      code = FReader.NextCode(FCodeWidth);
      FPrevCode = code;
      if (code == TCodeReader::EndOfData) break;
      FFirstPixel = static_cast<uint8_t>(code & FMask);
      FWriter.PutPixel(FFirstPixel);
      FTableFull = false;
    } else {
      if (FDamaged || !Expand(code)) {
        FDamaged = true;
        break;
      }
      AddEntry();
      FPrevCode = code;
    }
    code = FReader.NextCode(FCodeWidth);
    if (FProgress) ReportProgress();
  }
  // Data that ends before the last row leaves the frame damaged but keeps what was decoded.
  if (code == TCodeReader::EndOfData && !FWriter.Done()) FDamaged = true;
  FWriter.Finish();
  return FDamaged;
}

// Writes the pixels of a code. A code at or above the next free code repeats the previous
// code's string followed by the current first pixel.
bool TLzwDecoder::Expand(uint32_t code) {
  const bool repeat = code >= FNextCode;
  const uint32_t base = repeat ? FPrevCode : code;
  const unsigned baseLength = repeat ? ChainLength(base) : FTable[base].Length;
  if (baseLength == 0) return ExpandChecked(code);
  const unsigned length = baseLength + (repeat ? 1 : 0);
  const bool inRow = static_cast<int>(length) <= FWriter.Room();
  uint8_t* out = inRow ? FWriter.Cursor() : FScratch.data();
  WriteChain(out, baseLength, base);
  if (repeat) out[baseLength] = FFirstPixel;
  if (inRow) {
    FWriter.Advance(static_cast<int>(length));
  } else {
    FWriter.PutRun(out, static_cast<int>(length));
  }
  FFirstPixel = FTable[base].First;
  return true;
}

// The expansion of a code whose chain may run through stale or circular table entries (only
// damaged data makes such codes): a walk that gives up after kStackLimit pixels.
bool TLzwDecoder::ExpandChecked(uint32_t code) {
  uint8_t* stack = FScratch.data();
  int count = 0;
  uint32_t w = code;
  if (w >= FNextCode) {
    stack[count++] = FFirstPixel;
    w = FPrevCode;
  }
  while (w > FMask) {
    if (count >= kStackLimit - 1) return false;
    stack[count++] = FTable[w].Suffix;
    w = FTable[w].Prefix;
  }
  FFirstPixel = static_cast<uint8_t>(w);
  stack[count++] = FFirstPixel;
  std::reverse(stack, stack + count);
  FWriter.PutRun(stack, count);
  return true;
}

void TLzwDecoder::AddEntry() {
  if (FTableFull) return;
  // Entries at literal codes are never read as strings, so they are not written.
  if (FNextCode > FMask) {
    TLzwEntry& entry = FTable[FNextCode];
    const unsigned prefixLength = ChainLength(FPrevCode);
    entry.Prefix = static_cast<uint16_t>(FPrevCode);
    entry.Suffix = FFirstPixel;
    entry.Length = static_cast<uint16_t>(prefixLength ? prefixLength + 1 : 0);
    entry.First = FTable[FPrevCode].First;
  }
  if (++FNextCode == FWidthLimit) {
    if (FCodeWidth == kMaxCodeWidth) {
      FTableFull = true;
    } else {
      ++FCodeWidth;
      FWidthLimit <<= 1;
    }
  }
}

void TLzwDecoder::ReportProgress() {
  const int64_t position = FReader.StreamPosition();
  FProgress(TProgressStage::psRunning, static_cast<int>(position * 100 / FStreamSize), "");
}

TBitmapData EmptyBitmap(int width, int height, int pixelBits, const TGIFColors& colors) {
  TBitmapData bitmap;
  bitmap.BitCount = pixelBits == 1 ? 1 : pixelBits <= 4 ? 4 : 8;
  const int64_t stride = (int64_t(width) * bitmap.BitCount + 31) / 32 * 4;
  if (stride > MaxDecodedBytes || stride * height > MaxDecodedBytes)
    throw EInvalidGraphicOperation(Format(SPictureTooLarge, width, height));
  bitmap.Width = width;
  bitmap.Height = height;
  // Entries beyond the colour table read 0x80 in every byte.
  std::vector<TRGBQuad> palette(256, TRGBQuad{0x80, 0x80, 0x80, 0x80});
  const int count = std::clamp(colors.Count, 0, 256);
  for (int i = 0; i < count; ++i) {
    const auto& c = colors.Colors[static_cast<size_t>(i)];
    palette[static_cast<size_t>(i)] = TRGBQuad{c[2], c[1], c[0], 0};
  }
  palette.resize(size_t(1) << bitmap.BitCount);
  bitmap.Palette = std::move(palette);
  return bitmap;
}

}  // namespace

TDecodedFrame DecodeFrame(const std::string& codeStream, int width, int height, int pixelBits,
                          const TGIFColors& colors, bool interlaced,
                          const TDecodeProgress& progress) {
  if (pixelBits < 1 || pixelBits > 8) throw EInvalidGraphicOperation(SWrongColorCount);
  TDecodedFrame result;
  result.Bitmap = EmptyBitmap(std::max(width, 0), std::max(height, 0), pixelBits, colors);
  TBitmapData& bitmap = result.Bitmap;
  if (bitmap.Empty()) return result;
  bitmap.Pixels.assign(static_cast<size_t>(bitmap.Stride()) * static_cast<size_t>(bitmap.Height),
                       0);
  auto report = [&](TProgressStage stage, int percent, const std::string& message) {
    if (progress) progress(stage, percent, message);
  };
  report(TProgressStage::psStarting, 0, "");
  try {
    if (codeStream.empty()) throw EReadError(SReadError);
    int codeSize = static_cast<uint8_t>(codeStream[0]);
    const bool badCodeSize = codeSize < 2 || codeSize > 9;
    codeSize = std::clamp(codeSize, 2, 9);
    TCodeReader reader(codeStream, 1);
    TPixelWriter writer(bitmap, interlaced);
    TLzwDecoder lzw(reader, writer, codeSize, pixelBits, badCodeSize, progress,
                    static_cast<int64_t>(codeStream.size()));
    result.Damaged = lzw.Run();
  } catch (const Exception& e) {
    report(TProgressStage::psEnding, 0, e.Message());
    throw;
  }
  report(TProgressStage::psEnding, 100, "");
  return result;
}

TDecodedFrame DecodeFrame(TStream& codeStream, int width, int height, int pixelBits,
                          const TGIFColors& colors, bool interlaced,
                          const TDecodeProgress& progress) {
  codeStream.SetPosition(0);
  const std::string bytes = codeStream.ReadString(codeStream.Size());
  return DecodeFrame(bytes, width, height, pixelBits, colors, interlaced, progress);
}

}  // namespace tagscope
