#include "ui/win32/win32_toolbar.h"

#include "tagscope/rtl/exception.h"
#include "ui/win32/win32_bitmap.h"

namespace tagscope {

// ---- TWin32ImageList

TWin32ImageList::TWin32ImageList(const TImageListProps& props)
    : TImageList(props.Name),
      FProps(props),
      FList(ImageList_Create(props.Width, props.Height, ILC_COLOR24 | ILC_MASK, 1, 4)) {
  if (!FList) throw Exception(Format("Cannot create the image list %s", props.Name.c_str()));
}

int TWin32ImageList::Add(const TBitmapData& image, std::optional<TColor> transparent) {
  if (image.Width != FProps.Width || image.Height != FProps.Height)
    throw Exception(Format("Image of %dx%d pixels added to the %dx%d image list %s", image.Width,
                           image.Height, FProps.Width, FProps.Height, FProps.Name.c_str()));
  TBitmapOwner bitmap = CreateScreenBitmap(image);
  if (!bitmap) throw Exception(Format("Invalid image for the image list %s", FProps.Name.c_str()));
  const int index = transparent
                        ? ImageList_AddMasked(FList.Get(), bitmap.Get(), ColorRef(*transparent))
                        : ImageList_Add(FList.Get(), bitmap.Get(), nullptr);
  if (index < 0) throw Exception(Format("Cannot add to the image list %s", FProps.Name.c_str()));
  FImages.push_back(image);
  return Count() - 1;
}

// ---- TWin32ToolBar

namespace {

DWORD ToolBarStyle(const TToolBarProps& props) {
  // Placed and sized by its bounds only, never by its parent.
  DWORD style = CCS_NORESIZE | CCS_NOPARENTALIGN | CCS_NODIVIDER | WS_CLIPSIBLINGS;
  if (props.Flat) style |= TBSTYLE_FLAT;
  if (props.ShowHint) style |= TBSTYLE_TOOLTIPS;
  return style;
}

// Buttons of 23 x 22 pixels around 16 x 16 images, as the 24-pixel bar expects.
constexpr int kButtonWidth = 23;
constexpr int kButtonHeight = 22;

}  // namespace

TWin32ToolBar::TWin32ToolBar(TWin32Factory& factory, TWidget& parent, const TToolBarProps& props)
    : TWin32Widget(factory, &parent, props) {
  CreateNative(TOOLBARCLASSNAMEA, ToolBarStyle(props), 0);
  SendMessageA(Window(), TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
  if (props.Images) {
    SendMessageA(Window(), TB_SETBITMAPSIZE, 0,
                 MAKELPARAM(props.Images->ImageWidth(), props.Images->ImageHeight()));
    SendMessageA(Window(), TB_SETIMAGELIST, 0, static_cast<LPARAM>(props.Images->Handle()));
  }
  SendMessageA(Window(), TB_SETBUTTONSIZE, 0, MAKELPARAM(kButtonWidth, kButtonHeight));
}

int TWin32ToolBar::AddButton(const TToolButtonProps& button) {
  const int index = ButtonCount();
  TBBUTTON native{};
  native.iBitmap = button.ImageIndex >= 0 ? button.ImageIndex : I_IMAGENONE;
  native.idCommand = ButtonCommand(index);
  native.fsState = TBSTATE_ENABLED;
  native.fsStyle = BTNS_BUTTON;
  native.iString = -1;
  if (!SendMessageA(Window(), TB_ADDBUTTONSA, 1, reinterpret_cast<LPARAM>(&native)))
    throw Exception(Format("Cannot add a button to %s", Props().Name.c_str()));
  FButtons.push_back(button);
  SetHint(index);
  return index;
}

// The hint goes to the tooltip as its text, so no notification needs to find the toolbar's
// parent for it (which may be a foreign window).
void TWin32ToolBar::SetHint(int index) {
  HWND tips = reinterpret_cast<HWND>(SendMessageA(Window(), TB_GETTOOLTIPS, 0, 0));
  const std::string& hint = FButtons[static_cast<size_t>(index)].Hint;
  if (!tips || hint.empty()) return;
  std::wstring text = WideText(hint);
  TOOLINFOW info{};
  info.cbSize = TTTOOLINFOW_V2_SIZE;
  info.hwnd = Window();
  info.uId = ButtonCommand(index);
  info.hinst = nullptr;
  info.lpszText = text.data();
  SendMessageW(tips, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&info));
}

bool TWin32ToolBar::OnCommand(WORD code, WORD id, LRESULT& result) {
  const int index = id - kFirstCommand;
  if (index < 0 || index >= ButtonCount()) return false;
  ClickButton(index);
  return true;
}

}  // namespace tagscope
