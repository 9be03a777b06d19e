#pragma once

#include <optional>
#include <string>

#include "tagscope/imaging/bitmap.h"
#include "ui/widget.h"

namespace tagscope {

// Plain text on its parent's background.
class TLabel : public TWidget {
 public:
  using TWidget::TWidget;
  virtual std::string Caption() const = 0;
  virtual void SetCaption(const std::string& caption) = 0;
};

// A single- or multi-line edit. Text is kept as the bytes given: a backend that needs other
// line ends for display converts them on the way in and back on the way out.
class TEdit : public TWidget {
 public:
  using TWidget::TWidget;
  virtual std::string Text() const = 0;
  virtual void SetText(const std::string& text) = 0;
  void Clear() { SetText(std::string()); }
};

// Static text, optionally with a sunken border and centred text.
class TStaticText : public TWidget {
 public:
  using TWidget::TWidget;
  virtual std::string Caption() const = 0;
  virtual void SetCaption(const std::string& caption) = 0;
};

// A bevelled panel that can hold controls; its caption is drawn centred in the panel's font
// and colour, behind its child controls.
class TPanel : public TWidget {
 public:
  using TWidget::TWidget;
  virtual std::string Caption() const = 0;
  virtual void SetCaption(const std::string& caption) = 0;
};

// An image control drawing a bitmap (stretched over the whole control when created with
// Stretch). Without a picture it draws nothing.
class TImage : public TWidget {
 public:
  using TWidget::TWidget;
  virtual void SetPicture(const TBitmapData& picture) = 0;
  virtual void ClearPicture() = 0;
  virtual bool HasPicture() const = 0;
  // The picture drawn; empty when there is none.
  virtual const TBitmapData& Picture() const = 0;

  // Pixels of this colour, if one is set, are left out so the parent shows through (a GIF's
  // transparent colour). Backends read it when drawing; the default keeps it for them.
  virtual void SetTransparentColor(std::optional<TColor> color) { FTransparentColor = color; }
  std::optional<TColor> TransparentColor() const { return FTransparentColor; }

 private:
  std::optional<TColor> FTransparentColor;
};

}  // namespace tagscope
