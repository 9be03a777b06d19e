#include "ui/win32/win32_factory.h"

#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>

#include "tagscope/rtl/exception.h"
#include "ui/win32/win32_controls.h"
#include "ui/win32/win32_dialogs.h"
#include "ui/win32/win32_fonts.h"
#include "ui/win32/win32_form.h"
#include "ui/win32/win32_image.h"
#include "ui/win32/win32_list_box.h"
#include "ui/win32/win32_list_view.h"
#include "ui/win32/win32_menu.h"
#include "ui/win32/win32_toolbar.h"

namespace tagscope {

TWin32Factory::TWin32Factory() : FFonts(std::make_unique<TWin32Fonts>()) {
  INITCOMMONCONTROLSEX controls{};
  controls.dwSize = sizeof(controls);
  controls.dwICC = ICC_TAB_CLASSES | ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES;
  InitCommonControlsEx(&controls);
  RegisterNodeClasses();
}

TWin32Factory::~TWin32Factory() {
  UnregisterNodeClasses();
}

std::unique_ptr<TForm> TWin32Factory::CreateForm(TNativeHandle parent, const TFormProps& props) {
  return std::make_unique<TWin32Form>(*this, parent, props);
}

std::unique_ptr<TPageControl> TWin32Factory::CreatePageControl(TWidget& parent,
                                                               const TPageControlProps& props) {
  return std::make_unique<TWin32PageControl>(*this, parent, props);
}

std::unique_ptr<TTabSheet> TWin32Factory::CreateTabSheet(TPageControl& parent,
                                                         const TTabSheetProps& props) {
  return std::make_unique<TWin32TabSheet>(*this, dynamic_cast<TWin32PageControl&>(parent), props);
}

std::unique_ptr<TLabel> TWin32Factory::CreateLabel(TWidget& parent, const TLabelProps& props) {
  return std::make_unique<TWin32Label>(*this, parent, props);
}

std::unique_ptr<TEdit> TWin32Factory::CreateEdit(TWidget& parent, const TEditProps& props) {
  return std::make_unique<TWin32Edit>(*this, parent, props);
}

std::unique_ptr<TListView> TWin32Factory::CreateListView(TWidget& parent,
                                                         const TListViewProps& props) {
  return std::make_unique<TWin32ListView>(*this, parent, props);
}

std::unique_ptr<TListBox> TWin32Factory::CreateListBox(TWidget& parent,
                                                       const TListBoxProps& props) {
  return std::make_unique<TWin32ListBox>(*this, parent, props);
}

std::unique_ptr<TStaticText> TWin32Factory::CreateStaticText(TWidget& parent,
                                                             const TStaticTextProps& props) {
  return std::make_unique<TWin32StaticText>(*this, parent, props);
}

std::unique_ptr<TPanel> TWin32Factory::CreatePanel(TWidget& parent, const TPanelProps& props) {
  return std::make_unique<TWin32Panel>(*this, parent, props);
}

std::unique_ptr<TImage> TWin32Factory::CreateImage(TWidget& parent, const TImageProps& props) {
  return std::make_unique<TWin32Image>(*this, parent, props);
}

std::unique_ptr<TToolBar> TWin32Factory::CreateToolBar(TWidget& parent,
                                                       const TToolBarProps& props) {
  return std::make_unique<TWin32ToolBar>(*this, parent, props);
}

std::unique_ptr<TImageList> TWin32Factory::CreateImageList(const TImageListProps& props) {
  return std::make_unique<TWin32ImageList>(props);
}

std::unique_ptr<TMainMenu> TWin32Factory::CreateMainMenu(const std::string& name,
                                                         std::unique_ptr<TMenuItem> items) {
  return std::make_unique<TWin32MainMenu>(name, std::move(items));
}

std::unique_ptr<TOpenDialog> TWin32Factory::CreateOpenDialog(const TOpenDialogProps& props) {
  return std::make_unique<TWin32OpenDialog>(*this, props);
}

void TWin32Factory::ShellOpen(TNativeHandle owner, const std::string& target) {
  ShellExecuteW(ToHwnd(owner), nullptr, WideText(target).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void TWin32Factory::PostToWindow(TNativeHandle window, std::uint32_t message, std::uintptr_t wParam,
                                 std::intptr_t lParam) {
  // PostMessage to window 0 would post to this thread's own queue instead.
  if (window) PostMessageA(ToHwnd(window), message, wParam, lParam);
}

std::intptr_t TWin32Factory::SendToWindow(TNativeHandle window, std::uint32_t message,
                                          std::uintptr_t wParam, std::intptr_t lParam) {
  return window ? SendMessageA(ToHwnd(window), message, wParam, lParam) : 0;
}

void TWin32Factory::ShowErrorMessage(const std::string& text) {
  if (OnErrorMessage) {
    OnErrorMessage(text);
    return;
  }
  MessageBoxW(ToHwnd(FDialogOwner), WideText(text).c_str(), L"Error", MB_OK | MB_ICONSTOP);
}

}  // namespace tagscope
