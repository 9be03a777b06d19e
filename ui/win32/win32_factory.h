#pragma once

#include <functional>
#include <memory>
#include <string>

#include "ui/factory.h"

namespace tagscope {

class TWin32Fonts;

// The backend of native Win32 controls (ANSI functions throughout). Creating one initialises
// the common controls and registers this backend's window classes; they are removed again
// when the last factory goes, which must outlive every control it created.
//
// Handles are HWND, HMENU and HIMAGELIST values as TNativeHandle. Events of the controls run
// from the window procedures of the windows that receive the controls' notifications; an
// exception escaping one is shown through ShowErrorMessage and goes no further.
class TWin32Factory : public TWidgetFactory {
 public:
  TWin32Factory();
  ~TWin32Factory() override;

  std::unique_ptr<TForm> CreateForm(TNativeHandle parent, const TFormProps& props) override;
  std::unique_ptr<TPageControl> CreatePageControl(TWidget& parent,
                                                  const TPageControlProps& props) override;
  std::unique_ptr<TTabSheet> CreateTabSheet(TPageControl& parent,
                                            const TTabSheetProps& props) override;
  std::unique_ptr<TLabel> CreateLabel(TWidget& parent, const TLabelProps& props) override;
  std::unique_ptr<TEdit> CreateEdit(TWidget& parent, const TEditProps& props) override;
  std::unique_ptr<TListView> CreateListView(TWidget& parent, const TListViewProps& props) override;
  std::unique_ptr<TListBox> CreateListBox(TWidget& parent, const TListBoxProps& props) override;
  std::unique_ptr<TStaticText> CreateStaticText(TWidget& parent,
                                                const TStaticTextProps& props) override;
  std::unique_ptr<TPanel> CreatePanel(TWidget& parent, const TPanelProps& props) override;
  std::unique_ptr<TImage> CreateImage(TWidget& parent, const TImageProps& props) override;
  std::unique_ptr<TToolBar> CreateToolBar(TWidget& parent, const TToolBarProps& props) override;
  std::unique_ptr<TImageList> CreateImageList(const TImageListProps& props) override;
  std::unique_ptr<TMainMenu> CreateMainMenu(const std::string& name,
                                            std::unique_ptr<TMenuItem> items) override;
  std::unique_ptr<TOpenDialog> CreateOpenDialog(const TOpenDialogProps& props) override;

  void SetDialogOwner(TNativeHandle owner) override { FDialogOwner = owner; }
  TNativeHandle DialogOwner() const override { return FDialogOwner; }
  // ShellExecuteA with the default verb and SW_SHOWNORMAL; the result is ignored.
  void ShellOpen(TNativeHandle owner, const std::string& target) override;
  // PostMessageA / SendMessageA; nothing is posted or sent to window 0.
  void PostToWindow(TNativeHandle window, std::uint32_t message, std::uintptr_t wParam,
                    std::intptr_t lParam) override;
  std::intptr_t SendToWindow(TNativeHandle window, std::uint32_t message, std::uintptr_t wParam,
                             std::intptr_t lParam) override;
  // A message box owned by the dialog owner, unless OnErrorMessage takes the text instead.
  void ShowErrorMessage(const std::string& text) override;

  // Takes the texts of ShowErrorMessage in place of the message box (tests, or a host that
  // reports errors its own way).
  std::function<void(const std::string& text)> OnErrorMessage;

  TWin32Fonts& Fonts() const { return *FFonts; }

 private:
  TNativeHandle FDialogOwner = 0;
  std::unique_ptr<TWin32Fonts> FFonts;
};

}  // namespace tagscope
