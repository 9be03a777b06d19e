#pragma once

#include "ui/controls.h"
#include "ui/win32/win32_node.h"

namespace tagscope {

// An image control: a window that draws its bitmap with StretchDIBits, over the whole control
// when created with Stretch, else at its natural size in the top left corner. Pixels of the
// transparent colour show the button-face background of the panel beneath.
class TWin32Image : public TWin32PaintedWidget<TImage> {
 public:
  TWin32Image(TWin32Factory& factory, TWidget& parent, const TImageProps& props);

  void SetPicture(const TBitmapData& picture) override;
  void ClearPicture() override;
  bool HasPicture() const override { return !FPicture.Empty(); }
  const TBitmapData& Picture() const override { return FPicture; }
  void SetTransparentColor(std::optional<TColor> color) override;

 protected:
  void Paint(HDC dc) override;

 private:
  void Prepare();

  bool FStretch;
  TBitmapData FPicture;
  TBitmapData FDrawn;  // the picture as drawn, transparent colour replaced
};

}  // namespace tagscope
