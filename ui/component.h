#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace tagscope {

// The common base of objects that a control can carry (a list box entry's object).
class TObject {
 public:
  virtual ~TObject() = default;
};

// A named part of a form: a control, a menu, an action, a dialog.
class TComponent : public TObject {
 public:
  explicit TComponent(std::string name) : FName(std::move(name)) {}
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  const std::string& Name() const { return FName; }

 private:
  std::string FName;
};

// Owns components and frees them in the reverse order of their adoption, so children that
// were created after their parents go first. A form keeps its controls in one of these.
class TComponentList {
 public:
  TComponentList() = default;
  TComponentList(const TComponentList&) = delete;
  TComponentList& operator=(const TComponentList&) = delete;
  ~TComponentList() { Clear(); }

  // Takes over a component and hands back a plain pointer to it for the owner's fields.
  template <class T>
  T* Adopt(std::unique_ptr<T> component) {
    T* result = component.get();
    FItems.push_back(std::move(component));
    return result;
  }
  int Count() const { return static_cast<int>(FItems.size()); }
  TComponent* Find(const std::string& name) const;
  void Clear() {
    while (!FItems.empty()) FItems.pop_back();
  }

 private:
  std::vector<std::unique_ptr<TComponent>> FItems;
};

inline TComponent* TComponentList::Find(const std::string& name) const {
  for (const auto& item : FItems)
    if (item->Name() == name) return item.get();
  return nullptr;
}

}  // namespace tagscope
