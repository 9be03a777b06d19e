#pragma once

#include <memory>
#include <string>
#include <vector>

#include "ui/headless/headless_widget.h"
#include "ui/list_box.h"
#include "ui/list_view.h"

namespace tagscope {

// The outcome of drawing one cell of a list view.
struct THeadlessCellDrawing {
  TDrawFont Font;
  bool DefaultDraw = true;
};

class THeadlessListView : public THeadless<TListView> {
 public:
  THeadlessListView(THeadlessFactory& factory, TWidget& parent, const TListViewProps& props)
      : THeadless(factory, &parent, props), FListProps(props) {}

  void BeginUpdate() override { ++FUpdateDepth; }
  void EndUpdate() override;
  int ItemCount() const override { return static_cast<int>(FRows.size()); }
  int AddItem(const std::string& caption) override;
  void AddSubItem(int row, const std::string& text) override;
  std::string ItemCaption(int row) const override;
  int SubItemCount(int row) const override;
  std::string SubItem(int row, int index) const override;
  void Clear() override;
  int Selected() const override { return FSelected; }
  void SetSelected(int row) override;

  const TListViewProps& ListProps() const { return FListProps; }
  // How many BeginUpdate calls are still open.
  int UpdateDepth() const { return FUpdateDepth; }

  // The user clicks a row (-1: beside the rows): the selection follows, then OnClick runs.
  // An exception from a handler is shown as an error.
  void UserClick(int row);
  // The user moves the selection with the keyboard (no click).
  void UserSelect(int row);
  // Draws one cell the way the list would: the list's own font, then the draw hook.
  THeadlessCellDrawing PaintCell(int row, int column, TCustomDrawState state = 0);

 private:
  struct TRow {
    std::string Caption;
    std::vector<std::string> SubItems;
  };
  const TRow* RowAt(int row) const;

  TListViewProps FListProps;
  std::vector<TRow> FRows;
  int FSelected = -1;
  int FUpdateDepth = 0;
};

class THeadlessListBox : public THeadless<TListBox> {
 public:
  THeadlessListBox(THeadlessFactory& factory, TWidget& parent, const TListBoxProps& props)
      : THeadless(factory, &parent, props), FListProps(props) {}

  void BeginUpdate() override { ++FUpdateDepth; }
  void EndUpdate() override;
  int Count() const override { return static_cast<int>(FEntries.size()); }
  int AddItem(const std::string& text, std::unique_ptr<TObject> object) override;
  std::string Item(int index) const override;
  TObject* Object(int index) const override;
  void Clear() override;
  int ItemIndex() const override { return FItemIndex; }
  void SetItemIndex(int index) override;

  const TListBoxProps& ListProps() const { return FListProps; }
  int UpdateDepth() const { return FUpdateDepth; }

  // The user selects an entry (mouse or keyboard): the selection moves, then OnClick runs.
  // An exception from a handler is shown as an error.
  void UserSelect(int index);

 private:
  struct TEntry {
    std::string Text;
    std::unique_ptr<TObject> Object;
  };

  TListBoxProps FListProps;
  std::vector<TEntry> FEntries;
  int FItemIndex = -1;
  int FUpdateDepth = 0;
};

}  // namespace tagscope
