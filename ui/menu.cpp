#include "ui/menu.h"

#include <atomic>

namespace tagscope {

namespace {

// Hands out command identifiers, unique within the process, skipping 0; forms may be built on
// several threads at once.
TCommandId NextCommand() {
  static std::atomic<TCommandId> last{0};
  TCommandId id = ++last;
  while (id == 0) id = ++last;
  return id;
}

void CollectAccelerators(const TMenuItem& item, std::vector<TAcceleratorEntry>& out) {
  for (int i = 0; i < item.Count(); ++i) {
    const TMenuItem& child = *item.Item(i);
    const TShortCut shortCut = child.ShortCut();
    if (shortCut == scNone) {
      CollectAccelerators(child, out);
      continue;
    }
    TAcceleratorEntry entry;
    entry.Flags = afVirtKey | afNoInvert;
    if (shortCut & scShift) entry.Flags |= afShift;
    if (shortCut & scCtrl) entry.Flags |= afControl;
    if (shortCut & scAlt) entry.Flags |= afAlt;
    entry.Key = ShortCutKey(shortCut);
    entry.Command = child.Command();
    out.push_back(entry);
  }
}

}  // namespace

TMenuItem::TMenuItem(std::string name, std::string caption, TAction* action)
    : TComponent(std::move(name)),
      FCaption(std::move(caption)),
      FAction(action),
      FCommand(NextCommand()) {}

void TMenuItem::Click() {
  if (FAction && FAction->Execute()) return;
  if (OnClick) OnClick(*this);
}

TMenuItem* TMenuItem::Add(std::unique_ptr<TMenuItem> item) {
  FItems.push_back(std::move(item));
  return FItems.back().get();
}

TMenuItem* TMenuItem::Find(TCommandId command) {
  if (FCommand == command) return this;
  for (auto& item : FItems)
    if (TMenuItem* found = item->Find(command)) return found;
  return nullptr;
}

TMenuItem* TMainMenu::FindItem(TCommandId command) const {
  for (int i = 0; i < FItems->Count(); ++i)
    if (TMenuItem* found = FItems->Item(i)->Find(command)) return found;
  return nullptr;
}

std::vector<TAcceleratorEntry> MenuAccelerators(const TMainMenu& menu) {
  std::vector<TAcceleratorEntry> result;
  CollectAccelerators(menu.Items(), result);
  return result;
}

}  // namespace tagscope
