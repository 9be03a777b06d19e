#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "ui/controls.h"
#include "ui/dialogs.h"
#include "ui/list_box.h"
#include "ui/list_view.h"
#include "ui/menu.h"
#include "ui/props.h"
#include "ui/toolbar.h"
#include "ui/widget.h"

namespace tagscope {

// A backend: creates controls and reaches the system's services. Portable code builds a form
// through one of these and never learns which backend it runs on.
//
// Controls are created from their form-description properties and returned to the caller, who
// owns them and must free children before their parents (a TComponentList does so). The
// parent passed must be a window control of the same backend.
class TWidgetFactory {
 public:
  virtual ~TWidgetFactory() = default;

  // A form as a hidden, borderless child of a foreign parent window (0: no parent), at (0, 0)
  // with the given client size.
  virtual std::unique_ptr<TForm> CreateForm(TNativeHandle parent, const TFormProps& props) = 0;
  virtual std::unique_ptr<TPageControl> CreatePageControl(TWidget& parent,
                                                          const TPageControlProps& props) = 0;
  // Adds a page at the end of the page control.
  virtual std::unique_ptr<TTabSheet> CreateTabSheet(TPageControl& parent,
                                                    const TTabSheetProps& props) = 0;
  virtual std::unique_ptr<TLabel> CreateLabel(TWidget& parent, const TLabelProps& props) = 0;
  virtual std::unique_ptr<TEdit> CreateEdit(TWidget& parent, const TEditProps& props) = 0;
  virtual std::unique_ptr<TListView> CreateListView(TWidget& parent,
                                                    const TListViewProps& props) = 0;
  virtual std::unique_ptr<TListBox> CreateListBox(TWidget& parent, const TListBoxProps& props) = 0;
  virtual std::unique_ptr<TStaticText> CreateStaticText(TWidget& parent,
                                                        const TStaticTextProps& props) = 0;
  virtual std::unique_ptr<TPanel> CreatePanel(TWidget& parent, const TPanelProps& props) = 0;
  virtual std::unique_ptr<TImage> CreateImage(TWidget& parent, const TImageProps& props) = 0;
  virtual std::unique_ptr<TToolBar> CreateToolBar(TWidget& parent, const TToolBarProps& props) = 0;
  virtual std::unique_ptr<TImageList> CreateImageList(const TImageListProps& props) = 0;
  // A menu bar built from complete items (see TMainMenu).
  virtual std::unique_ptr<TMainMenu> CreateMainMenu(const std::string& name,
                                                    std::unique_ptr<TMenuItem> items) = 0;
  virtual std::unique_ptr<TOpenDialog> CreateOpenDialog(const TOpenDialogProps& props) = 0;

  // The owner window of the dialogs and message boxes opened afterwards.
  virtual void SetDialogOwner(TNativeHandle owner) = 0;
  virtual TNativeHandle DialogOwner() const = 0;

  // Hands a link or file name to the system shell with its default verb; the result is not
  // reported (a target the shell cannot open passes silently).
  virtual void ShellOpen(TNativeHandle owner, const std::string& target) = 0;
  // Queues a message for a window and returns at once (PostMessage).
  virtual void PostToWindow(TNativeHandle window, std::uint32_t message, std::uintptr_t wParam,
                            std::intptr_t lParam) = 0;
  // Sends a message to a window and waits until it is handled (SendMessage).
  virtual std::intptr_t SendToWindow(TNativeHandle window, std::uint32_t message,
                                     std::uintptr_t wParam, std::intptr_t lParam) = 0;
  // Shows an error to the user (a message box owned by the dialog owner). Backends use it for
  // exceptions escaping event handlers that they fire.
  virtual void ShowErrorMessage(const std::string& text) = 0;
};

}  // namespace tagscope
