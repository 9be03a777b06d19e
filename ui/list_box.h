#pragma once

#include <functional>
#include <memory>
#include <string>

#include "ui/component.h"
#include "ui/widget.h"

namespace tagscope {

// A list box of text entries. Each entry may carry an object, which the list box owns: it is
// freed when the entry is removed (Clear) or the list box is freed.
//
// OnClick(sender): the user selected an entry with the mouse or the keyboard. Setting
// ItemIndex from code fires nothing.
class TListBox : public TWidget {
 public:
  using TWidget::TWidget;

  virtual void BeginUpdate() = 0;
  virtual void EndUpdate() = 0;

  virtual int Count() const = 0;
  // Appends an entry; returns its index.
  virtual int AddItem(const std::string& text, std::unique_ptr<TObject> object) = 0;
  virtual std::string Item(int index) const = 0;
  // The entry's object, or nullptr (also for an index out of range).
  virtual TObject* Object(int index) const = 0;
  // Frees every entry's object, in order, then removes all entries.
  virtual void Clear() = 0;

  // The selected entry, or -1.
  virtual int ItemIndex() const = 0;
  // Selects an entry (-1: none); an index out of range selects none.
  virtual void SetItemIndex(int index) = 0;

  std::function<void(TListBox& sender)> OnClick;
};

}  // namespace tagscope
