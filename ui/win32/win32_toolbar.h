#pragma once

#include <windows.h>

#include <commctrl.h>

#include <optional>
#include <vector>

#include "ui/toolbar.h"
#include "ui/win32/win32_node.h"

namespace tagscope {

// An image list (ILC_COLOR24 with a mask for the transparent colour). The images added are
// also kept as given.
class TWin32ImageList : public TImageList {
 public:
  explicit TWin32ImageList(const TImageListProps& props);

  int ImageWidth() const override { return FProps.Width; }
  int ImageHeight() const override { return FProps.Height; }
  // Raises an error for an image of another size or one GDI cannot take.
  int Add(const TBitmapData& image, std::optional<TColor> transparent) override;
  int Count() const override { return static_cast<int>(FImages.size()); }
  const TBitmapData& Image(int index) const override { return FImages.at(index); }
  TNativeHandle Handle() const override { return ToNative(FList.Get()); }

 private:
  TImageListProps FProps;
  TImageListOwner FList;
  std::vector<TBitmapData> FImages;
};

// A toolbar (flat, CCS_NORESIZE: it keeps the bounds given). Its buttons' clicks arrive as
// WM_COMMAND at the window it was created in, also after it moved into a foreign window, and
// execute the buttons' actions; the hints are the tooltips' texts.
class TWin32ToolBar : public TWin32Widget<TToolBar> {
 public:
  TWin32ToolBar(TWin32Factory& factory, TWidget& parent, const TToolBarProps& props);

  int AddButton(const TToolButtonProps& button) override;
  int ButtonCount() const override { return static_cast<int>(FButtons.size()); }
  const TToolButtonProps& Button(int index) const override { return FButtons.at(index); }

  bool OnCommand(WORD code, WORD id, LRESULT& result) override;

  // The command identifier of a button in its WM_COMMAND.
  static WORD ButtonCommand(int index) { return static_cast<WORD>(kFirstCommand + index); }

 private:
  static constexpr int kFirstCommand = 1;
  void SetHint(int index);

  std::vector<TToolButtonProps> FButtons;
};

}  // namespace tagscope
