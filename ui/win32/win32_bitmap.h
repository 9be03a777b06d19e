#pragma once

#include <windows.h>

#include <optional>
#include <vector>

#include "tagscope/imaging/bitmap.h"
#include "ui/types.h"
#include "ui/win32/win32_handles.h"

namespace tagscope {

// A BITMAPINFO with room for a palette, filled from a bitmap's size, depth and palette.
class TDibHeader {
 public:
  explicit TDibHeader(const TBitmapData& bitmap);
  const BITMAPINFO* Info() const { return reinterpret_cast<const BITMAPINFO*>(FBuffer.data()); }

 private:
  std::vector<DWORD> FBuffer;
};

// True when the bitmap can be handed to GDI as it stands: a depth GDI draws, a palette that
// covers the depth, and enough pixel bytes for every row.
bool DrawableBitmap(const TBitmapData& bitmap);

// The bitmap with every pixel of the transparent colour replaced by the background colour;
// for paletted bitmaps the matching palette entries change.
TBitmapData ReplaceColor(const TBitmapData& bitmap, TColor transparent, COLORREF background);
// A bitmap with alpha blended over the background colour, opaque; other bitmaps unchanged.
TBitmapData BlendOver(const TBitmapData& bitmap, COLORREF background);

// Draws the bitmap stretched over the rectangle; an undrawable bitmap draws nothing.
void DrawStretched(HDC dc, const RECT& target, const TBitmapData& bitmap);

// A device-dependent bitmap for the screen holding the picture (for image lists).
TBitmapOwner CreateScreenBitmap(const TBitmapData& bitmap);

}  // namespace tagscope
