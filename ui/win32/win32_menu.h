#pragma once

#include <string>

#include "ui/menu.h"
#include "ui/win32/win32_handles.h"

namespace tagscope {

// The text a menu shows for a shortcut ("F3", "Esc", "Ctrl+O"); empty for none.
std::string ShortCutText(TShortCut shortCut);

// A menu bar (CreateMenu) built from the items: pop-ups for items with sub-items, separators
// for "-", and items carrying their command identifier, with the shortcut's text after a tab.
class TWin32MainMenu : public TMainMenu {
 public:
  TWin32MainMenu(const std::string& name, std::unique_ptr<TMenuItem> items);
  TNativeHandle Handle() const override { return ToNative(FMenu.Get()); }

 private:
  TMenuOwner FMenu;
};

}  // namespace tagscope
