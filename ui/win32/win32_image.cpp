#include "ui/win32/win32_image.h"

#include "ui/win32/win32_bitmap.h"

namespace tagscope {

TWin32Image::TWin32Image(TWin32Factory& factory, TWidget& parent, const TImageProps& props)
    : TWin32PaintedWidget(factory, &parent, props), FStretch(props.Stretch) {
  CreateNative(kImageClass, WS_CLIPSIBLINGS, 0);
}

void TWin32Image::SetPicture(const TBitmapData& picture) {
  FPicture = picture;
  Prepare();
}

void TWin32Image::ClearPicture() {
  FPicture = TBitmapData();
  Prepare();
}

void TWin32Image::SetTransparentColor(std::optional<TColor> color) {
  TImage::SetTransparentColor(color);
  Prepare();
}

void TWin32Image::Prepare() {
  // Transparent pixels show the face colour of the panel behind the image.
  const COLORREF face = GetSysColor(COLOR_BTNFACE);
  const auto transparent = TransparentColor();
  FDrawn = transparent ? ReplaceColor(FPicture, *transparent, face) : BlendOver(FPicture, face);
  InvalidateRect(Window(), nullptr, TRUE);
}

void TWin32Image::Paint(HDC dc) {
  RECT client{};
  GetClientRect(Window(), &client);
  RECT target = client;
  if (!FStretch && !FDrawn.Empty()) {
    target.right = FDrawn.Width;
    target.bottom = FDrawn.Height;
  }
  const bool covered = FStretch && DrawableBitmap(FDrawn);
  if (!covered) FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
  DrawStretched(dc, target, FDrawn);
}

}  // namespace tagscope
