#pragma once

#include <windows.h>

#include <commctrl.h>

#include <array>
#include <string>
#include <vector>

#include "ui/list_view.h"
#include "ui/win32/win32_node.h"

namespace tagscope {

// A list view in report view (LVS_EX_FULLROWSELECT when RowSelect). The rows are also kept
// here, so rows may carry more sub-items than there are columns; the control shows those that
// have a column.
//
// Native notifications become the events: LVN_ITEMCHANGED (selection bit) OnSelectItem,
// NM_CLICK OnClick, NM_CUSTOMDRAW per sub-item OnCustomDrawSubItem, whose font changes are
// applied to that cell only.
class TWin32ListView : public TWin32Widget<TListView> {
 public:
  TWin32ListView(TWin32Factory& factory, TWidget& parent, const TListViewProps& props);

  void BeginUpdate() override;
  void EndUpdate() override;
  int ItemCount() const override { return static_cast<int>(FRows.size()); }
  int AddItem(const std::string& caption) override;
  void AddSubItem(int row, const std::string& text) override;
  std::string ItemCaption(int row) const override;
  int SubItemCount(int row) const override;
  std::string SubItem(int row, int index) const override;
  void Clear() override;
  int Selected() const override;
  void SetSelected(int row) override;

  bool OnNotify(NMHDR& header, LRESULT& result) override;

 protected:
  void SizeChanged() override { FitColumns(); }

 private:
  struct TRow {
    std::string Caption;
    std::vector<std::string> SubItems;
  };

  void AddColumns();
  // Columns of width -2 fill what is left of the row.
  void FitColumns();
  void ItemChanged(const NMLISTVIEW& change);
  void SetRowSelected(int row, bool selected);
  LRESULT CustomDraw(NMLVCUSTOMDRAW& draw);
  LRESULT DrawSubItem(NMLVCUSTOMDRAW& draw);
  HFONT StyledFont(TFontStyles style);

  TListViewProps FListProps;
  std::vector<TRow> FRows;
  int FUpdateDepth = 0;
  bool FQuiet = false;  // rows are being removed: no selection events
  int FLastSelected = -1;
  COLORREF FRowTextColor = CLR_DEFAULT;
  COLORREF FRowBackColor = CLR_DEFAULT;
  std::array<TFontOwner, 16> FStyledFonts;
};

}  // namespace tagscope
