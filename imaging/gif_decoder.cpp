#include "imaging/gif_decoder.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "imaging/gif_code_reader.h"
#include "imaging/gif_pixel_writer.h"
#include "tagscope/rtl/exception.h"

namespace tagscope {
namespace {

constexpr uint32_t kTableSize = 4096;
constexpr int kMaxCodeWidth = 12;
// Code sizes that decode; codes of up to kMaxCodeWidth bits leave room for sizes up to 11.
constexpr int kMinCodeSize = 2;
constexpr int kMaxCodeSize = 11;
// The longest expansion a code may have; a longer one means the code chain runs in a circle.
constexpr int kStackLimit = 4097;

// The LZW table. Prefix and Suffix are the table proper: the code an entry extends and the
// pixel it adds. For a code whose string is known for sure, the string itself is kept as well,
// so that it is written with a few 8-byte stores instead of a walk along its chain:
// - a string of 1 to 7 pixels lives in one 64-bit word of Short: the pixels in bytes 0 to 6
//   (zero beyond the string) and the length in byte 7; storing the word writes the string
//   (the byte after it is scratch that the next code overwrites);
// - a longer one in Long: its last piece of 1 to 8 pixels (starting at a multiple of 8) and
//   the code whose string is everything before that piece, with length and first pixel.
// Short is 0 for a long string or one not known, Long's length 0 for one not known.
struct TLongString {
  uint64_t Chunk = 0;
  uint16_t Parent = 0;
  uint16_t Length = 0;
  uint8_t First = 0;
};

constexpr uint64_t kPixelBytes = 0x00FFFFFFFFFFFFFFull;
constexpr int kShortMax = 7;

// Plain arrays in one block: every table is then a fixed offset from one pointer, which
// the compiler keeps in a register although pixels are written through byte pointers.
struct TLzwTables {
  uint64_t Short[kTableSize] = {};
  TLongString Long[kTableSize] = {};
  uint16_t Prefix[kTableSize] = {};
  uint8_t Suffix[kTableSize] = {};

  // Entry code := the previous code's string plus pixel. Its string is known when the
  // previous code's is: a literal or an entry below code itself (written since the last clear
  // code, as every entry from the first table code up to code is).
  void Add(uint32_t code, uint32_t prevCode, uint8_t pixel) {
    Prefix[code] = static_cast<uint16_t>(prevCode);
    Suffix[code] = pixel;
    const bool current = prevCode < code;
    const uint64_t word = current ? Short[prevCode] : 0;
    const unsigned length = static_cast<unsigned>(word >> 56);
    if (length != 0 && length < kShortMax) {
      Short[code] =
          (word & kPixelBytes) | (uint64_t(pixel) << (8 * length)) | (uint64_t(length + 1) << 56);
      return;
    }
    Short[code] = 0;
    TLongString& entry = Long[code];
    if (length == kShortMax) {
      entry = {(word & kPixelBytes) | (uint64_t(pixel) << 56), 0, 8, static_cast<uint8_t>(word)};
      return;
    }
    const TLongString& prefix = Long[prevCode];
    if (!current || prefix.Length == 0) {
      entry.Length = 0;
      return;
    }
    const unsigned used = prefix.Length & 7u;  // pixels in the prefix's last piece; 0: full
    entry.Chunk = used ? prefix.Chunk | (uint64_t(pixel) << (8 * used)) : pixel;
    entry.Parent = used ? prefix.Parent : static_cast<uint16_t>(prevCode);
    entry.Length = static_cast<uint16_t>(prefix.Length + 1);
    entry.First = prefix.First;
  }

  // Writes a long string back to front, one piece at a time.
  void WriteLong(uint8_t* out, uint32_t code) const {
    unsigned pos = (Long[code].Length - 1u) & ~7u;
    for (;;) {
      std::memcpy(out + pos, &Long[code].Chunk, 8);
      if (pos == 0) break;
      pos -= 8;
      code = Long[code].Parent;
    }
  }
};

// What a checked expansion leaves behind.
struct TExpansion {
  bool Complete;
  uint8_t FirstPixel;
  uint8_t* Cursor;
};

class TLzwDecoder {
 public:
  TLzwDecoder(TCodeReader& reader, TPixelWriter& writer, int codeSize, bool damaged,
              const TDecodeProgress& progress, int64_t streamSize);
  // Decodes up to the end code, the end of the data or the last row; returns the damaged mark.
  bool Run();

 private:
  template <bool Reporting>
  bool DecodeCodes();
  bool DecodeAfterClearCodes();
  TExpansion ExpandChecked(uint32_t code, uint32_t nextCode, uint32_t prevCode, uint8_t firstPixel,
                           uint8_t* out);
  void ReportProgress(uint64_t bitPos);

  TCodeReader& FReader;
  TPixelWriter& FWriter;
  const TDecodeProgress& FProgress;
  int64_t FStreamSize;
  std::unique_ptr<TLzwTables> FTables;
  std::vector<uint8_t> FStack;
  int FCodeSize;
  uint32_t FClearCode;
  bool FDamaged;
};

TLzwDecoder::TLzwDecoder(TCodeReader& reader, TPixelWriter& writer, int codeSize, bool damaged,
                         const TDecodeProgress& progress, int64_t streamSize)
    : FReader(reader),
      FWriter(writer),
      FProgress(progress),
      FStreamSize(streamSize),
      FTables(std::make_unique<TLzwTables>()),
      FStack(kStackLimit),
      FCodeSize(codeSize),
      FClearCode(1u << codeSize),
      FDamaged(damaged) {
  // Every code below the clear code is a literal pixel of its own value, whatever the size of
  // the colour table (its low byte: the bitmap keeps no more).
  for (uint32_t c = 0; c < FClearCode; ++c) FTables->Short[c] = (c & 0xFF) | (uint64_t(1) << 56);
}

bool TLzwDecoder::Run() {
  if (FDamaged) return DecodeAfterClearCodes();
  return FProgress ? DecodeCodes<true>() : DecodeCodes<false>();
}

// With a code size out of range only the pixels that directly follow clear codes are decoded
// (a run of clear codes counts as one); decoding ends at the first other code.
bool TLzwDecoder::DecodeAfterClearCodes() {
  uint64_t bitPos = 0;
  const uint8_t* data = FReader.Data();
  uint64_t bitCount = FReader.BitCount();
  const int codeWidth = FCodeSize + 1;
  uint8_t* out = FWriter.Start();
  uint32_t code = NextCode(FReader, data, bitCount, bitPos, codeWidth);
  while (code == FClearCode && out) {
    while (code == FClearCode) code = NextCode(FReader, data, bitCount, bitPos, codeWidth);
    if (code > FClearCode) break;  // the end code, a table code or the end of the data
    out = FWriter.PutPixel(static_cast<uint8_t>(code), out);
    code = NextCode(FReader, data, bitCount, bitPos, codeWidth);
    if (FProgress) ReportProgress(bitPos);
  }
  FWriter.Finish(out);
  return true;
}

// The decoding loop. Everything it changes per code lives in local variables: pixels are
// written through byte pointers, which the compiler must otherwise assume to overwrite the
// decoder's fields.
template <bool Reporting>
bool TLzwDecoder::DecodeCodes() {
  const uint8_t* data = FReader.Data();
  uint64_t bitCount = FReader.BitCount();
  TLzwTables* const tables = FTables.get();
  const uint32_t clearCode = FClearCode;
  const uint32_t endCode = clearCode + 1;
  uint64_t bitPos = 0;
  int codeWidth = FCodeSize + 1;
  uint32_t nextCode = clearCode + 2;  // kTableSize once the table is full
  uint32_t prevCode = 0;
  uint8_t firstPixel = 0;
  uint8_t* out = FWriter.Start();
  uint8_t* const rowLimit = FWriter.RowLimit();

  uint32_t code = NextCode(FReader, data, bitCount, bitPos, codeWidth);
  while (out) {
    // The first code of the data, and the first after a clear code, has no previous code: it
    // must be a literal, and it adds no table entry. Clear codes in a row are one clear code.
    while (code == clearCode) {
      codeWidth = FCodeSize + 1;
      nextCode = clearCode + 2;
      code = NextCode(FReader, data, bitCount, bitPos, codeWidth);
      if (Reporting) ReportProgress(bitPos);
    }
    if (code >= clearCode) break;  // the end code, the end of the data, or a table code
    prevCode = code;
    firstPixel = static_cast<uint8_t>(code);
    out = FWriter.PutPixel(firstPixel, out);
    code = NextCode(FReader, data, bitCount, bitPos, codeWidth);
    if (Reporting) ReportProgress(bitPos);

    while (code != clearCode && out) {
      if (code == endCode || code == TCodeReader::EndOfData) goto done;
      // A code at or above the next free code repeats the previous code's string followed by
      // the current first pixel.
      const bool repeat = code >= nextCode;
      const uint32_t base = repeat ? prevCode : code;
      const bool current = !repeat || prevCode < nextCode;
      const uint64_t word = current ? tables->Short[base] : 0;
      const unsigned length = static_cast<unsigned>(word >> 56);
      if (length != 0) {
        std::memcpy(out, &word, 8);
        if (repeat) out[length] = firstPixel;
        out += length + (repeat ? 1 : 0);
        if (out >= rowLimit) out = FWriter.Flush(out);
        firstPixel = static_cast<uint8_t>(word);
      } else if (current && tables->Long[base].Length != 0) {
        const TLongString& string = tables->Long[base];
        tables->WriteLong(out, base);
        if (repeat) out[string.Length] = firstPixel;
        out += string.Length + (repeat ? 1 : 0);
        if (out >= rowLimit) out = FWriter.Flush(out);
        firstPixel = string.First;
      } else {
        const TExpansion e = ExpandChecked(code, nextCode, prevCode, firstPixel, out);
        if (!e.Complete) {
          FWriter.Finish(out);
          return true;
        }
        firstPixel = e.FirstPixel;
        out = e.Cursor;
      }
      if (nextCode < kTableSize) {
        tables->Add(nextCode, prevCode, firstPixel);
        if (++nextCode == (1u << codeWidth) && codeWidth < kMaxCodeWidth) ++codeWidth;
      }
      prevCode = code;
      code = NextCode(FReader, data, bitCount, bitPos, codeWidth);
      if (Reporting) ReportProgress(bitPos);
    }
  }
done:
  FWriter.Finish(out);
  // Once the last row is complete the rest does not matter. Before that, anything but an end
  // code (the data ran out, or a table code came while the table was empty) is damage; the
  // pixels decoded so far stay.
  return out && code != endCode;
}

// The expansion of a code whose chain may run through stale or circular table entries (only
// damaged data makes such codes): a walk that gives up after kStackLimit pixels.
TExpansion TLzwDecoder::ExpandChecked(uint32_t code, uint32_t nextCode, uint32_t prevCode,
                                      uint8_t firstPixel, uint8_t* out) {
  uint8_t* stack = FStack.data();
  int count = 0;
  uint32_t w = code;
  if (w >= nextCode) {
    stack[count++] = firstPixel;
    w = prevCode;
  }
  while (w >= FClearCode) {
    if (count >= kStackLimit - 1) return {false, firstPixel, out};
    stack[count++] = FTables->Suffix[w];
    w = FTables->Prefix[w];
  }
  stack[count++] = static_cast<uint8_t>(w);
  std::reverse(stack, stack + count);
  return {true, static_cast<uint8_t>(w), FWriter.PutRun(stack, count, out)};
}

void TLzwDecoder::ReportProgress(uint64_t bitPos) {
  const int64_t position = FReader.StreamPosition(bitPos);
  FProgress(TProgressStage::psRunning, static_cast<int>(position * 100 / FStreamSize), "");
}

TBitmapData EmptyBitmap(int width, int height, int pixelBits, const TGIFColors& colors,
                        const TDecodeLimits& limits) {
  TBitmapData bitmap;
  bitmap.BitCount = pixelBits == 1 ? 1 : pixelBits <= 4 ? 4 : 8;
  if (!limits.Allows(width, height, bitmap.BitCount))
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

namespace {

// Runs the decoder over a frame's code stream into the writer; gives the damaged mark.
bool DecodeInto(const std::string& codeStream, TPixelWriter& writer,
                const TDecodeProgress& progress) {
  auto report = [&](TProgressStage stage, int percent, const std::string& message) {
    if (progress) progress(stage, percent, message);
  };
  report(TProgressStage::psStarting, 0, "");
  bool damaged;
  try {
    if (codeStream.empty()) throw EReadError(SReadError);
    int codeSize = static_cast<uint8_t>(codeStream[0]);
    const bool badCodeSize = codeSize < kMinCodeSize || codeSize > kMaxCodeSize;
    codeSize = std::clamp(codeSize, kMinCodeSize, kMaxCodeSize);
    TCodeReader reader(codeStream, 1);
    TLzwDecoder lzw(reader, writer, codeSize, badCodeSize, progress,
                    static_cast<int64_t>(codeStream.size()));
    damaged = lzw.Run();
  } catch (const Exception& e) {
    report(TProgressStage::psEnding, 0, e.Message());
    throw;
  }
  report(TProgressStage::psEnding, 100, "");
  return damaged;
}

}  // namespace

TDecodedFrame DecodeFrame(const std::string& codeStream, int width, int height, int pixelBits,
                          const TGIFColors& colors, bool interlaced,
                          const TDecodeProgress& progress, const TDecodeLimits& limits) {
  if (pixelBits < 1 || pixelBits > 8) throw EInvalidGraphicOperation(SWrongColorCount);
  TDecodedFrame result;
  result.Bitmap = EmptyBitmap(std::max(width, 0), std::max(height, 0), pixelBits, colors, limits);
  TBitmapData& bitmap = result.Bitmap;
  if (bitmap.Empty()) return result;
  // The writer clears what it does not write.
  bitmap.Pixels.resize(static_cast<size_t>(bitmap.Stride()) * static_cast<size_t>(bitmap.Height));
  TPixelWriter writer(bitmap, interlaced);
  result.Damaged = DecodeInto(codeStream, writer, progress);
  return result;
}

bool DecodeFrameRows(const std::string& codeStream, int width, int height, int pixelBits,
                     const TGIFColors& colors, TRGBRowSink& sink, const TDecodeProgress& progress,
                     const TDecodeLimits& limits) {
  if (pixelBits < 1 || pixelBits > 8) throw EInvalidGraphicOperation(SWrongColorCount);
  TBitmapData bitmap =
      EmptyBitmap(std::max(width, 0), std::max(height, 0), pixelBits, colors, limits);
  sink.Start(bitmap.Width, bitmap.Height);
  if (bitmap.Empty()) return false;
  // Every index as the bitmap would keep it (its low bits) and the colour of that entry.
  const uint32_t mask = (1u << bitmap.BitCount) - 1;
  uint32_t table[256];
  for (uint32_t i = 0; i < 256; ++i) {
    const TRGBQuad& q = bitmap.Palette[i & mask];
    table[i] = uint32_t(q.Red) | uint32_t(q.Green) << 8 | uint32_t(q.Blue) << 16;
  }
  TPixelWriter writer(bitmap, false);
  writer.SetRowSink(&sink, table);
  return DecodeInto(codeStream, writer, progress);
}

TDecodedFrame DecodeFrame(TStream& codeStream, int width, int height, int pixelBits,
                          const TGIFColors& colors, bool interlaced,
                          const TDecodeProgress& progress, const TDecodeLimits& limits) {
  codeStream.SetPosition(0);
  const std::string bytes = codeStream.ReadString(codeStream.Size());
  return DecodeFrame(bytes, width, height, pixelBits, colors, interlaced, progress, limits);
}

}  // namespace tagscope
