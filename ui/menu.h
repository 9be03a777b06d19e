#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ui/action.h"
#include "ui/component.h"
#include "ui/types.h"

namespace tagscope {

// One item of a menu, owning its sub-items. Every item gets a command identifier of its own
// when it is created; a command message carrying it reaches the item through its menu's
// FindItem. An item bound to an action takes the action's caption and shortcut and runs the
// action when clicked.
class TMenuItem : public TComponent {
 public:
  explicit TMenuItem(std::string name, std::string caption = {}, TAction* action = nullptr);

  TCommandId Command() const { return FCommand; }
  TAction* Action() const { return FAction; }
  std::string Caption() const { return FAction ? FAction->Caption : FCaption; }
  TShortCut ShortCut() const { return FAction ? FAction->ShortCut : FShortCut; }
  void SetShortCut(TShortCut shortCut) { FShortCut = shortCut; }
  bool IsSeparator() const { return Caption() == "-"; }

  std::function<void(TMenuItem& sender)> OnClick;
  // Executes the item's action, or else runs OnClick.
  void Click();

  TMenuItem* Add(std::unique_ptr<TMenuItem> item);
  int Count() const { return static_cast<int>(FItems.size()); }
  TMenuItem* Item(int index) const { return FItems.at(index).get(); }
  // This item or one below it carrying the command identifier, or nullptr.
  TMenuItem* Find(TCommandId command);

 private:
  std::string FCaption;
  TAction* FAction;
  TShortCut FShortCut = scNone;
  TCommandId FCommand;
  std::vector<std::unique_ptr<TMenuItem>> FItems;
};

// A menu bar. The backend builds its native menu from the items given at creation (they do not
// change afterwards); the form never shows it as its own menu bar, but its handle can be handed
// to another window.
class TMainMenu : public TComponent {
 public:
  TMainMenu(std::string name, std::unique_ptr<TMenuItem> items)
      : TComponent(std::move(name)), FItems(std::move(items)) {}

  // The invisible root item; its sub-items are the menu bar's entries.
  TMenuItem& Items() const { return *FItems; }
  // The item below the root carrying the command identifier, or nullptr.
  TMenuItem* FindItem(TCommandId command) const;
  // The native menu-bar handle (an HMENU in the Win32 backend).
  virtual TNativeHandle Handle() const = 0;

 private:
  std::unique_ptr<TMenuItem> FItems;
};

// One entry of an accelerator table, with the flag values of a Win32 ACCEL record.
inline constexpr std::uint8_t afVirtKey = 0x01;
inline constexpr std::uint8_t afNoInvert = 0x02;
inline constexpr std::uint8_t afShift = 0x04;
inline constexpr std::uint8_t afControl = 0x08;
inline constexpr std::uint8_t afAlt = 0x10;

struct TAcceleratorEntry {
  std::uint8_t Flags = 0;
  std::uint16_t Key = 0;
  TCommandId Command = 0;
  bool operator==(const TAcceleratorEntry&) const = default;
};

// The keyboard shortcuts of a menu as accelerator entries: one per item with a shortcut, in
// menu order, not descending below an item that has one.
std::vector<TAcceleratorEntry> MenuAccelerators(const TMainMenu& menu);

}  // namespace tagscope
