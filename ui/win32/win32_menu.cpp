#include "ui/win32/win32_menu.h"

#include "tagscope/rtl/exception.h"
#include "ui/win32/win32_node.h"

namespace tagscope {

namespace {

std::string KeyName(std::uint8_t key) {
  if (key >= VK_F1 && key <= VK_F24) return "F" + std::to_string(key - VK_F1 + 1);
  if ((key >= '0' && key <= '9') || (key >= 'A' && key <= 'Z')) return std::string(1, key);
  switch (key) {
    case VK_ESCAPE:
      return "Esc";
    case VK_RETURN:
      return "Enter";
    case VK_TAB:
      return "Tab";
    case VK_SPACE:
      return "Space";
    case VK_BACK:
      return "BkSp";
    case VK_DELETE:
      return "Del";
    case VK_INSERT:
      return "Ins";
    case VK_HOME:
      return "Home";
    case VK_END:
      return "End";
    case VK_PRIOR:
      return "PgUp";
    case VK_NEXT:
      return "PgDn";
    case VK_LEFT:
      return "Left";
    case VK_UP:
      return "Up";
    case VK_RIGHT:
      return "Right";
    case VK_DOWN:
      return "Down";
    default:
      return {};
  }
}

void Append(HMENU menu, UINT flags, UINT_PTR id, const std::string& text) {
  if (!AppendMenuW(menu, flags, id, WideText(text).c_str()))
    throw Exception(Format("Cannot build the menu item %s (error %lu)", text.c_str(),
                           static_cast<unsigned long>(GetLastError())));
}

void AddItems(HMENU menu, const TMenuItem& parent) {
  for (int i = 0; i < parent.Count(); ++i) {
    const TMenuItem& item = *parent.Item(i);
    if (item.IsSeparator()) {
      AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    } else if (item.Count() > 0) {
      TMenuOwner popup(CreatePopupMenu());
      AddItems(popup.Get(), item);
      Append(menu, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(popup.Get()), item.Caption());
      popup.Release();  // owned by the menu now
    } else {
      const std::string key = ShortCutText(item.ShortCut());
      Append(menu, MF_STRING, item.Command(),
             key.empty() ? item.Caption() : item.Caption() + "\t" + key);
    }
  }
}

}  // namespace

std::string ShortCutText(TShortCut shortCut) {
  const std::string key = KeyName(ShortCutKey(shortCut));
  if (key.empty()) return {};
  std::string text;
  if (shortCut & scShift) text += "Shift+";
  if (shortCut & scCtrl) text += "Ctrl+";
  if (shortCut & scAlt) text += "Alt+";
  return text + key;
}

TWin32MainMenu::TWin32MainMenu(const std::string& name, std::unique_ptr<TMenuItem> items)
    : TMainMenu(name, std::move(items)), FMenu(CreateMenu()) {
  if (!FMenu) throw Exception(Format("Cannot create the menu %s", name.c_str()));
  AddItems(FMenu.Get(), Items());
}

}  // namespace tagscope
