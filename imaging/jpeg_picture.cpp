#include "imaging/jpeg_picture.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

extern "C" {
#include <jerror.h>
#include <jpeglib.h>
}

namespace tagscope {

namespace {

// libjpeg reports errors through a callback that must not return. The callback jumps back
// into the decoding phase that was running; the phases hold no C++ objects that need
// destroying, and the caller turns libjpeg's saved message into an exception.
struct TJpegErrorManager {
  jpeg_error_mgr Base;
  std::jmp_buf Jump;
  int Warnings = 0;
  // Set when the progress monitor gave up on an endless run of scans, which libjpeg has no
  // message for.
  bool TooManyScans = false;
};

// Corrupt data makes libjpeg warn and go on; a stream that does nothing but warn, or a
// progressive picture with an endless run of scans, is given up.
constexpr int kMaxWarnings = 1000;
constexpr int kMaxScans = 1000;
// libjpeg's own working memory (coefficient buffers of progressive pictures) stays below this.
constexpr long kMaxLibjpegMemory = 256L << 20;

[[noreturn]] void ErrorExit(j_common_ptr info) {
  auto* err = reinterpret_cast<TJpegErrorManager*>(info->err);
  std::longjmp(err->Jump, 1);
}

void EmitMessage(j_common_ptr info, int level) {
  auto* err = reinterpret_cast<TJpegErrorManager*>(info->err);
  if (level < 0 && ++err->Warnings > kMaxWarnings) ErrorExit(info);
}

void OutputMessage(j_common_ptr) {}

void ProgressMonitor(j_common_ptr info) {
  auto* decompress = reinterpret_cast<j_decompress_ptr>(info);
  if (decompress->input_scan_number > kMaxScans) {
    reinterpret_cast<TJpegErrorManager*>(info->err)->TooManyScans = true;
    ErrorExit(info);
  }
}

struct TJpegContext {
  jpeg_decompress_struct Info;
  TJpegErrorManager Error;
  jpeg_progress_mgr Progress;
  bool Created = false;

  TJpegContext() {
    std::memset(&Info, 0, sizeof Info);
    Info.err = jpeg_std_error(&Error.Base);
    Error.Base.error_exit = ErrorExit;
    Error.Base.emit_message = EmitMessage;
    Error.Base.output_message = OutputMessage;
    Progress.progress_monitor = ProgressMonitor;
  }
  ~TJpegContext() {
    if (Created) jpeg_destroy_decompress(&Info);
  }
  TJpegContext(const TJpegContext&) = delete;
  TJpegContext& operator=(const TJpegContext&) = delete;

  // libjpeg's own text for the error it saved ("Not a JPEG file: starts with 0x89 0x50").
  [[noreturn]] void Raise() {
    char text[JMSG_LENGTH_MAX] = "";
    if (Error.TooManyScans)
      std::snprintf(text, sizeof text, "more than %d scans", kMaxScans);
    else
      Error.Base.format_message(reinterpret_cast<j_common_ptr>(&Info), text);
    throw EJPEG(Format(SJPEGError, text));
  }
};

// Phase 1: reads the header and settles the output format: colour pictures as blue, green, red
// for the bitmap, or as red, green, blue when rgb is set. False after a libjpeg error.
bool ReadHeader(TJpegContext& ctx, const std::string& bytes, bool rgb = false) {
  if (setjmp(ctx.Error.Jump)) return false;
  jpeg_create_decompress(&ctx.Info);
  ctx.Created = true;
  ctx.Info.mem->max_memory_to_use = kMaxLibjpegMemory;
  ctx.Info.progress = &ctx.Progress;
  jpeg_mem_src(&ctx.Info, reinterpret_cast<const unsigned char*>(bytes.data()),
               static_cast<unsigned long>(bytes.size()));
  jpeg_read_header(&ctx.Info, TRUE);
  switch (ctx.Info.jpeg_color_space) {
    case JCS_GRAYSCALE:
      ctx.Info.out_color_space = JCS_GRAYSCALE;
      break;
    case JCS_CMYK:
    case JCS_YCCK:
      ctx.Info.out_color_space = JCS_CMYK;
      break;
    default:
      ctx.Info.out_color_space = rgb ? JCS_RGB : JCS_EXT_BGR;
      break;
  }
  jpeg_calc_output_dimensions(&ctx.Info);
  return true;
}

// Adobe's CMYK pictures store the inks inverted, as most writers do.
void CmykRowToBgr(const uint8_t* cmyk, uint8_t* bgr, int width, bool inverted) {
  for (int x = 0; x < width; ++x, cmyk += 4, bgr += 3) {
    int c = cmyk[0], m = cmyk[1], y = cmyk[2], k = cmyk[3];
    if (!inverted) {
      c = 255 - c;
      m = 255 - m;
      y = 255 - y;
      k = 255 - k;
    }
    bgr[0] = static_cast<uint8_t>(y * k / 255);
    bgr[1] = static_cast<uint8_t>(m * k / 255);
    bgr[2] = static_cast<uint8_t>(c * k / 255);
  }
}

// Phase 2: decodes every row into the bitmap, top row last in memory. False after an error.
// The bitmap's buffer comes uncleared: each row's padding is cleared as the row is written, and
// rows that libjpeg does not deliver are cleared at the end.
bool Decompress(TJpegContext& ctx, TBitmapData& bitmap, uint8_t* cmykRow) {
  if (setjmp(ctx.Error.Jump)) return false;
  jpeg_start_decompress(&ctx.Info);
  const size_t stride = static_cast<size_t>(bitmap.Stride());
  const size_t used = static_cast<size_t>(bitmap.Width) * static_cast<size_t>(bitmap.BitCount / 8);
  while (ctx.Info.output_scanline < ctx.Info.output_height) {
    const int y = static_cast<int>(ctx.Info.output_scanline);
    uint8_t* row = bitmap.TopDownRow(y);
    std::memset(row + used, 0, stride - used);
    JSAMPROW target = cmykRow ? cmykRow : row;
    if (jpeg_read_scanlines(&ctx.Info, &target, 1) != 1) break;
    if (cmykRow) CmykRowToBgr(cmykRow, row, bitmap.Width, ctx.Info.saw_Adobe_marker);
  }
  // Rows below the last one delivered come first in the bottom-up buffer.
  const int delivered = static_cast<int>(ctx.Info.output_scanline);
  std::memset(bitmap.Pixels.data(), 0, stride * static_cast<size_t>(bitmap.Height - delivered));
  jpeg_finish_decompress(&ctx.Info);
  return true;
}

// Phase 2 for a sink: every row of a colour picture straight into the sink's room. Rows that
// libjpeg does not deliver are black, as in the bitmap. False after a libjpeg error.
bool DecompressRows(TJpegContext& ctx, TRGBRowSink& sink) {
  if (setjmp(ctx.Error.Jump)) return false;
  jpeg_start_decompress(&ctx.Info);
  const size_t rowBytes = size_t(ctx.Info.output_width) * 3;
  while (ctx.Info.output_scanline < ctx.Info.output_height) {
    JSAMPROW target = sink.NextRow();
    if (jpeg_read_scanlines(&ctx.Info, &target, 1) != 1) {
      std::memset(target, 0, rowBytes);
      for (JDIMENSION y = ctx.Info.output_scanline + 1; y < ctx.Info.output_height; ++y)
        std::memset(sink.NextRow(), 0, rowBytes);
      break;
    }
  }
  jpeg_finish_decompress(&ctx.Info);
  return true;
}

// A picture of width x height whose bitmap stays within the limits, or the error.
void CheckSize(int width, int height, int bitCount, const TDecodeLimits& limits) {
  if (!limits.Allows(width, height, bitCount))
    throw EInvalidGraphic(Format(SPictureTooLarge, width, height));
}

}  // namespace

bool TJPEGPicture::DecodeRGBRows(std::string& bytes, TRGBRowSink& sink) {
  TJpegContext ctx;
  if (!ReadHeader(ctx, bytes, true)) ctx.Raise();
  if (ctx.Info.out_color_space != JCS_RGB) return false;
  const int width = static_cast<int>(ctx.Info.output_width);
  const int height = static_cast<int>(ctx.Info.output_height);
  CheckSize(width, height, 24, Limits());
  sink.Start(width, height);
  if (!DecompressRows(ctx, sink)) ctx.Raise();
  return true;
}

TBitmapData DecodeJpeg(const std::string& bytes, const TDecodeLimits& limits) {
  TJpegContext ctx;
  if (!ReadHeader(ctx, bytes)) ctx.Raise();
  const int width = static_cast<int>(ctx.Info.output_width);
  const int height = static_cast<int>(ctx.Info.output_height);
  const bool grey = ctx.Info.out_color_space == JCS_GRAYSCALE;
  TBitmapData bitmap;
  bitmap.BitCount = grey ? 8 : 24;
  CheckSize(width, height, bitmap.BitCount, limits);
  const int64_t stride = (int64_t(width) * bitmap.BitCount + 31) / 32 * 4;
  bitmap.Width = width;
  bitmap.Height = height;
  bitmap.Pixels.resize(static_cast<size_t>(stride * height));  // Decompress clears the rest
  if (grey) {
    bitmap.Palette.resize(256);
    for (int i = 0; i < 256; ++i) {
      const auto v = static_cast<uint8_t>(i);
      bitmap.Palette[static_cast<size_t>(i)] = TRGBQuad{v, v, v, 0};
    }
  }
  std::vector<uint8_t> cmykRow;
  if (ctx.Info.out_color_space == JCS_CMYK) cmykRow.resize(static_cast<size_t>(width) * 4);
  if (!Decompress(ctx, bitmap, cmykRow.empty() ? nullptr : cmykRow.data())) ctx.Raise();
  return bitmap;
}

void TJPEGPicture::LoadFromStream(TStream& stream) {
  LoadFromJpegBytes(stream.ReadString(stream.Size() - stream.Position()));
}

void TJPEGPicture::LoadFromJpegBytes(const std::string& bytes) {
  Assign(DecodeJpeg(bytes, Limits()));
}

}  // namespace tagscope
