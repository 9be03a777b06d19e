#include "imaging/png_picture.h"

#include <spng.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>

namespace tagscope {

namespace {

// Ancillary chunks that the decoder keeps in memory (texts, colour profiles, Exif data, each
// inflated where it is compressed) stay below these; the pixels are bounded by the limits.
constexpr size_t kMaxChunkBytes = size_t(16) << 20;
constexpr size_t kMaxChunkCache = size_t(64) << 20;
// The largest width and height the decoder accepts at all.
constexpr int64_t kMaxSide = 0x7FFFFFFF;

// One decoding of PNG bytes held in memory; the bytes must outlive it. Every failing call
// raises the decoder's message.
class TPngDecoder {
 public:
  TPngDecoder(const std::string& bytes, const TDecodeLimits& limits)
      : FOwner(spng_ctx_new(0), &spng_ctx_free), FContext(FOwner.get()) {
    if (!FContext) Check(SPNG_EMEM);
    // Checked here: the decoder reads the signature and the header as one, and would call
    // bytes of another kind too short.
    if (bytes.compare(0, 8, "\x89PNG\r\n\x1A\n") != 0) Check(SPNG_ESIGNATURE);
    // A bitmap takes at least three bytes a pixel and four a row: pictures that cannot fit
    // are refused while the header is read.
    const int64_t most = std::max<int64_t>(limits.MaxDecodedBytes, 0);
    Check(spng_set_image_limits(FContext, static_cast<uint32_t>(std::min(kMaxSide, most / 3)),
                                static_cast<uint32_t>(std::min(kMaxSide, most / 4))));
    Check(spng_set_chunk_limits(FContext, kMaxChunkBytes, kMaxChunkCache));
    Check(spng_set_png_buffer(FContext, bytes.data(), bytes.size()));
    Check(spng_get_ihdr(FContext, &FHeader));
    FHasAlpha = ReadHasAlpha();
    const int width = Width(), height = Height();
    if (!limits.Allows(width, height, FHasAlpha ? 32 : 24))
      throw EInvalidGraphic(Format(SPictureTooLarge, width, height));
  }

  int Width() const { return static_cast<int>(FHeader.width); }
  int Height() const { return static_cast<int>(FHeader.height); }
  bool Interlaced() const { return FHeader.interlace_method != SPNG_INTERLACE_NONE; }
  // An alpha channel, or a transparency chunk that makes some colour or palette entry
  // (partly) transparent.
  bool HasAlpha() const { return FHasAlpha; }

  // Starts decoding rows of red, green, blue (and opacity when alpha is set) bytes.
  void Start(bool alpha) {
    Check(spng_decode_image(FContext, nullptr, 0, alpha ? SPNG_FMT_RGBA8 : SPNG_FMT_RGB8,
                            SPNG_DECODE_TRNS | SPNG_DECODE_PROGRESSIVE));
  }
  // The row (from the top) that NextRow decodes, or -1 after the last one. An interlaced
  // picture visits its rows several times, each time filling in some of the pixels.
  int NextRowNumber() {
    spng_row_info info;
    const int error = spng_get_row_info(FContext, &info);
    if (error == SPNG_EOI) return -1;
    Check(error);
    return static_cast<int>(info.row_num);
  }
  void DecodeRow(uint8_t* row, size_t size) {
    const int error = spng_decode_row(FContext, row, size);
    if (error != SPNG_EOI) Check(error);
  }

 private:
  bool ReadHasAlpha() {
    if (FHeader.color_type == SPNG_COLOR_TYPE_GRAYSCALE_ALPHA ||
        FHeader.color_type == SPNG_COLOR_TYPE_TRUECOLOR_ALPHA)
      return true;
    spng_trns trns;
    const int error = spng_get_trns(FContext, &trns);
    if (error == SPNG_ECHUNKAVAIL) return false;
    Check(error);
    return true;
  }
  static void Check(int error) {
    if (error) throw EPNG(Format(SPNGError, spng_strerror(error)));
  }

  std::unique_ptr<spng_ctx, decltype(&spng_ctx_free)> FOwner;
  spng_ctx* FContext;
  spng_ihdr FHeader{};
  bool FHasAlpha = false;
};

// Red and blue change places in a row of pixels of step bytes each.
void SwapRedAndBlue(uint8_t* row, int width, size_t step) {
  for (int x = 0; x < width; ++x, row += step) std::swap(row[0], row[2]);
}

}  // namespace

TBitmapData DecodePng(const std::string& bytes, const TDecodeLimits& limits) {
  TPngDecoder png(bytes, limits);
  TBitmapData bitmap;
  bitmap.HasAlpha = png.HasAlpha();
  bitmap.BitCount = bitmap.HasAlpha ? 32 : 24;
  bitmap.Width = png.Width();
  bitmap.Height = png.Height();
  const size_t stride = static_cast<size_t>(bitmap.Stride());
  const size_t step = static_cast<size_t>(bitmap.BitCount / 8);
  const size_t used = static_cast<size_t>(bitmap.Width) * step;
  bitmap.Pixels.resize(stride * static_cast<size_t>(bitmap.Height));
  png.Start(bitmap.HasAlpha);
  // Rows stored in order are turned into blue, green, red as they come, while they are in the
  // cache; an interlaced picture's rows are complete only after the last pass.
  const bool interlaced = png.Interlaced();
  for (int y; (y = png.NextRowNumber()) >= 0;) {
    uint8_t* row = bitmap.TopDownRow(y);
    png.DecodeRow(row, used);
    std::memset(row + used, 0, stride - used);
    if (!interlaced) SwapRedAndBlue(row, bitmap.Width, step);
  }
  if (interlaced)
    for (int y = 0; y < bitmap.Height; ++y)
      SwapRedAndBlue(bitmap.TopDownRow(y), bitmap.Width, step);
  return bitmap;
}

bool TPNGPicture::DecodeRGBRows(std::string& bytes, TRGBRowSink& sink) {
  TPngDecoder png(bytes, Limits());
  if (png.Interlaced()) return false;
  png.Start(false);
  sink.Start(png.Width(), png.Height());
  const size_t rowBytes = size_t(png.Width()) * 3;
  while (png.NextRowNumber() >= 0) png.DecodeRow(sink.NextRow(), rowBytes);
  return true;
}

void TPNGPicture::LoadFromStream(TStream& stream) {
  LoadFromPngBytes(stream.ReadString(stream.Size() - stream.Position()));
}

void TPNGPicture::LoadFromPngBytes(const std::string& bytes) {
  Assign(DecodePng(bytes, Limits()));
}

}  // namespace tagscope
