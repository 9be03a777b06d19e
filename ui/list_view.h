#pragma once

#include <functional>
#include <string>

#include "ui/widget.h"

namespace tagscope {

// State of a list view row as it is drawn.
using TCustomDrawState = unsigned;
inline constexpr TCustomDrawState cdsSelected = 1;
inline constexpr TCustomDrawState cdsFocused = 2;
inline constexpr TCustomDrawState cdsHot = 4;

// The font a sub-item is drawn with. A draw hook may change it; each sub-item starts from the
// list's own font (clDefault colour, no style), so a change never spills into the next one.
struct TDrawFont {
  TColor Color = clDefault;
  TFontStyles Style = 0;
  bool operator==(const TDrawFont&) const = default;
};

// A list view in report view: rows with a caption (column 0) and sub-items (columns 1, 2, ...),
// at most one row selected.
//
// Events:
// - OnSelectItem(sender, row, selected): a row gained or lost the selection, through the user or
//   through SetSelected. Moving the selection fires the loss for the old row first, then the
//   gain for the new one. Removing rows fires nothing.
// - OnClick(sender): the user clicked in the list; the selection has already followed the
//   click (a click beside the rows leaves no row selected).
// - OnCustomDrawSubItem(sender, row, subItem, state, font, defaultDraw): the list is about to
//   draw column subItem of a row (0 is the caption). The hook may change font; defaultDraw
//   starts true and false asks the backend not to draw the cell.
class TListView : public TWidget {
 public:
  using TWidget::TWidget;

  // Suspends redrawing while rows change; calls nest and must be paired.
  virtual void BeginUpdate() = 0;
  virtual void EndUpdate() = 0;

  virtual int ItemCount() const = 0;
  // Appends a row with its caption; returns its index.
  virtual int AddItem(const std::string& caption) = 0;
  // Appends a sub-item (the next column) to a row.
  virtual void AddSubItem(int row, const std::string& text) = 0;
  virtual std::string ItemCaption(int row) const = 0;
  virtual int SubItemCount(int row) const = 0;
  // Sub-item index 0 is column 1; an index out of range gives an empty text.
  virtual std::string SubItem(int row, int index) const = 0;
  // Removes every row; no row is selected afterwards.
  virtual void Clear() = 0;

  // The selected row, or -1.
  virtual int Selected() const = 0;
  // Selects a row (-1: none), firing OnSelectItem as described above.
  virtual void SetSelected(int row) = 0;

  std::function<void(TListView& sender, int row, bool selected)> OnSelectItem;
  std::function<void(TListView& sender)> OnClick;
  std::function<void(TListView& sender, int row, int subItem, TCustomDrawState state,
                     TDrawFont& font, bool& defaultDraw)>
      OnCustomDrawSubItem;
};

// Keeps a list's updates suspended for a scope, resuming them also when an exception passes.
template <class TList>
class TUpdateScope {
 public:
  explicit TUpdateScope(TList& list) : FList(list) { FList.BeginUpdate(); }
  ~TUpdateScope() { FList.EndUpdate(); }
  TUpdateScope(const TUpdateScope&) = delete;
  TUpdateScope& operator=(const TUpdateScope&) = delete;

 private:
  TList& FList;
};

}  // namespace tagscope
