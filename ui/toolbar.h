#pragma once

#include <optional>
#include <string>

#include "tagscope/imaging/bitmap.h"
#include "ui/action.h"
#include "ui/component.h"
#include "ui/widget.h"

namespace tagscope {

// Equally sized images for toolbar buttons and actions.
class TImageList : public TComponent {
 public:
  using TComponent::TComponent;

  virtual int ImageWidth() const = 0;
  virtual int ImageHeight() const = 0;
  // Adds an image of the list's size; pixels of the transparent colour, if one is given, are
  // drawn transparently. Returns the image's index.
  virtual int Add(const TBitmapData& image, std::optional<TColor> transparent) = 0;
  virtual int Count() const = 0;
  virtual const TBitmapData& Image(int index) const = 0;
  // The native image list (an HIMAGELIST in the Win32 backend).
  virtual TNativeHandle Handle() const = 0;
};

// One button of a toolbar, bound to an action: clicking it executes the action directly.
struct TToolButtonProps {
  std::string Name;
  int ImageIndex = -1;
  std::string Hint;
  TAction* Action = nullptr;
};

// A toolbar of image buttons (images from the list given at creation).
class TToolBar : public TWidget {
 public:
  using TWidget::TWidget;

  // Appends a button; returns its index.
  virtual int AddButton(const TToolButtonProps& button) = 0;
  virtual int ButtonCount() const = 0;
  virtual const TToolButtonProps& Button(int index) const = 0;

  // What a click on a button does: executes its action. Backends call it for the user's click,
  // also while the toolbar lives in a foreign window (SetParentWindow), whose WM_COMMAND the
  // toolbar's owner never sees.
  void ClickButton(int index) {
    if (TAction* action = Button(index).Action) action->Execute();
  }
};

}  // namespace tagscope
