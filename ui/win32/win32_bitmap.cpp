#include "ui/win32/win32_bitmap.h"

#include <algorithm>

namespace tagscope {

namespace {

bool Paletted(int bitCount) {
  return bitCount == 1 || bitCount == 4 || bitCount == 8;
}

}  // namespace

TDibHeader::TDibHeader(const TBitmapData& bitmap) {
  const size_t colors =
      Paletted(bitmap.BitCount) ? std::min<size_t>(bitmap.Palette.size(), 256) : 0;
  FBuffer.assign((sizeof(BITMAPINFOHEADER) + colors * sizeof(RGBQUAD)) / sizeof(DWORD) + 1, 0);
  auto* info = reinterpret_cast<BITMAPINFO*>(FBuffer.data());
  BITMAPINFOHEADER& header = info->bmiHeader;
  header.biSize = sizeof(BITMAPINFOHEADER);
  header.biWidth = bitmap.Width;
  header.biHeight = bitmap.Height;  // positive: rows bottom-up
  header.biPlanes = 1;
  header.biBitCount = static_cast<WORD>(bitmap.BitCount);
  header.biCompression = BI_RGB;
  header.biClrUsed = static_cast<DWORD>(colors);
  for (size_t i = 0; i < colors; ++i) {
    const TRGBQuad& c = bitmap.Palette[i];
    info->bmiColors[i] = RGBQUAD{c.Blue, c.Green, c.Red, 0};
  }
}

bool DrawableBitmap(const TBitmapData& bitmap) {
  if (bitmap.Empty()) return false;
  const int depth = bitmap.BitCount;
  if (!Paletted(depth) && depth != 24 && depth != 32) return false;
  if (Paletted(depth) && bitmap.Palette.empty()) return false;
  const auto needed = static_cast<unsigned long long>(bitmap.Stride()) * bitmap.Height;
  return bitmap.Pixels.size() >= needed;
}

TBitmapData ReplaceColor(const TBitmapData& bitmap, TColor transparent, COLORREF background) {
  TBitmapData result = bitmap;
  const auto r = static_cast<uint8_t>(transparent), g = static_cast<uint8_t>(transparent >> 8),
             b = static_cast<uint8_t>(transparent >> 16);
  const TRGBQuad replacement{GetBValue(background), GetGValue(background), GetRValue(background),
                             0};
  if (Paletted(bitmap.BitCount)) {
    for (TRGBQuad& c : result.Palette)
      if (c.Red == r && c.Green == g && c.Blue == b) c = replacement;
    return result;
  }
  if (!DrawableBitmap(bitmap)) return result;
  const int bytes = bitmap.BitCount / 8;
  for (int y = 0; y < result.Height; ++y) {
    uint8_t* pixel = result.TopDownRow(y);
    for (int x = 0; x < result.Width; ++x, pixel += bytes) {
      if (pixel[0] != b || pixel[1] != g || pixel[2] != r) continue;
      pixel[0] = replacement.Blue;
      pixel[1] = replacement.Green;
      pixel[2] = replacement.Red;
    }
  }
  return result;
}

TBitmapData BlendOver(const TBitmapData& bitmap, COLORREF background) {
  if (!bitmap.HasAlpha || bitmap.BitCount != 32 || !DrawableBitmap(bitmap)) return bitmap;
  TBitmapData result = bitmap;
  result.HasAlpha = false;
  const int back[3] = {GetBValue(background), GetGValue(background), GetRValue(background)};
  for (int y = 0; y < result.Height; ++y) {
    uint8_t* pixel = result.TopDownRow(y);
    for (int x = 0; x < result.Width; ++x, pixel += 4) {
      const int alpha = pixel[3];
      for (int c = 0; c < 3; ++c)
        pixel[c] = static_cast<uint8_t>((pixel[c] * alpha + back[c] * (255 - alpha) + 127) / 255);
      pixel[3] = 0;
    }
  }
  return result;
}

void DrawStretched(HDC dc, const RECT& target, const TBitmapData& bitmap) {
  if (!DrawableBitmap(bitmap)) return;
  const TDibHeader header(bitmap);
  // Shrinking averages the pixels that fall together; enlarging repeats each pixel, so a small
  // picture stays sharp.
  const bool shrinking =
      bitmap.Width > target.right - target.left || bitmap.Height > target.bottom - target.top;
  SetStretchBltMode(dc, shrinking ? HALFTONE : COLORONCOLOR);
  SetBrushOrgEx(dc, 0, 0, nullptr);
  StretchDIBits(dc, target.left, target.top, target.right - target.left, target.bottom - target.top,
                0, 0, bitmap.Width, bitmap.Height, bitmap.Pixels.data(), header.Info(),
                DIB_RGB_COLORS, SRCCOPY);
}

TBitmapOwner CreateScreenBitmap(const TBitmapData& bitmap) {
  if (!DrawableBitmap(bitmap)) return TBitmapOwner();
  const TDibHeader header(bitmap);
  TWindowDc screen(nullptr);
  return TBitmapOwner(CreateDIBitmap(screen.Get(), &header.Info()->bmiHeader, CBM_INIT,
                                     bitmap.Pixels.data(), header.Info(), DIB_RGB_COLORS));
}

}  // namespace tagscope
