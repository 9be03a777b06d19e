#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ui/component.h"
#include "ui/types.h"

namespace tagscope {

class TImageList;

// A command that menu items and toolbar buttons share: they take its caption, hint, image
// and shortcut, and executing them runs its OnExecute handler.
class TAction : public TComponent {
 public:
  using TComponent::TComponent;

  std::string Caption;
  std::string Hint;
  int ImageIndex = -1;
  TShortCut ShortCut = scNone;
  std::function<void(TAction& sender)> OnExecute;

  // Runs OnExecute; returns false when the action has no handler.
  bool Execute() {
    if (!OnExecute) return false;
    OnExecute(*this);
    return true;
  }
};

// Owns a form's actions.
class TActionList : public TComponent {
 public:
  using TComponent::TComponent;

  TImageList* Images = nullptr;

  TAction* Add(const std::string& name) {
    FActions.push_back(std::make_unique<TAction>(name));
    return FActions.back().get();
  }
  int Count() const { return static_cast<int>(FActions.size()); }
  TAction* Action(int index) const { return FActions.at(index).get(); }

 private:
  std::vector<std::unique_ptr<TAction>> FActions;
};

}  // namespace tagscope
