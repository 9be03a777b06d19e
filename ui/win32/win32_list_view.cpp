#include "ui/win32/win32_list_view.h"

#include "tagscope/rtl/exception.h"
#include "ui/win32/win32_factory.h"
#include "ui/win32/win32_fonts.h"

namespace tagscope {

namespace {

DWORD ListStyle(const TListViewProps& props) {
  DWORD style = LVS_REPORT | LVS_SINGLESEL;
  if (props.TabOrder >= 0) style |= WS_TABSTOP;
  if (!props.HideSelection) style |= LVS_SHOWSELALWAYS;
  if (!props.ReadOnly) style |= LVS_EDITLABELS;
  return style;
}

TCustomDrawState DrawState(UINT itemState) {
  TCustomDrawState state = 0;
  if (itemState & CDIS_SELECTED) state |= cdsSelected;
  if (itemState & CDIS_FOCUS) state |= cdsFocused;
  if (itemState & CDIS_HOT) state |= cdsHot;
  return state;
}

}  // namespace

TWin32ListView::TWin32ListView(TWin32Factory& factory, TWidget& parent, const TListViewProps& props)
    : TWin32Widget(factory, &parent, props), FListProps(props) {
  CreateNative(WC_LISTVIEWA, ListStyle(props), WS_EX_CLIENTEDGE);
  if (props.RowSelect)
    SendMessageA(Window(), LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT,
                 LVS_EX_FULLROWSELECT);
  AddColumns();
}

void TWin32ListView::AddColumns() {
  int index = 0;
  for (const TListColumn& column : FListProps.Columns) {
    std::wstring caption = WideText(column.Caption);
    LVCOLUMNW c{};
    c.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    c.pszText = caption.data();
    c.cx = column.Width == ColumnAutoFill ? 50 : column.Width;
    c.iSubItem = index;
    SendMessageW(Window(), LVM_INSERTCOLUMNW, static_cast<WPARAM>(index),
                 reinterpret_cast<LPARAM>(&c));
    ++index;
  }
  FitColumns();
}

void TWin32ListView::FitColumns() {
  if (FUpdateDepth > 0) return;
  for (size_t i = 0; i < FListProps.Columns.size(); ++i)
    if (FListProps.Columns[i].Width == ColumnAutoFill)
      SendMessageA(Window(), LVM_SETCOLUMNWIDTH, i, MAKELPARAM(LVSCW_AUTOSIZE_USEHEADER, 0));
}

void TWin32ListView::BeginUpdate() {
  if (FUpdateDepth++ == 0) SendMessageA(Window(), WM_SETREDRAW, FALSE, 0);
}

void TWin32ListView::EndUpdate() {
  if (FUpdateDepth == 0 || --FUpdateDepth > 0) return;
  SendMessageA(Window(), WM_SETREDRAW, TRUE, 0);
  FitColumns();
  InvalidateRect(Window(), nullptr, TRUE);
}

int TWin32ListView::AddItem(const std::string& caption) {
  std::wstring text = WideText(caption);
  LVITEMW item{};
  item.mask = LVIF_TEXT;
  item.iItem = ItemCount();
  item.pszText = text.data();
  const auto index = SendMessageW(Window(), LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
  if (index < 0) throw Exception(Format("Cannot add a row to %s", Props().Name.c_str()));
  FRows.push_back({caption, {}});
  FitColumns();
  return ItemCount() - 1;
}

void TWin32ListView::AddSubItem(int row, const std::string& text) {
  if (row < 0 || row >= ItemCount()) return;
  auto& subItems = FRows[static_cast<size_t>(row)].SubItems;
  subItems.push_back(text);
  const auto column = static_cast<int>(subItems.size());
  if (column >= static_cast<int>(FListProps.Columns.size())) return;
  std::wstring wide = WideText(text);
  LVITEMW item{};
  item.iSubItem = column;
  item.pszText = wide.data();
  SendMessageW(Window(), LVM_SETITEMTEXTW, static_cast<WPARAM>(row),
               reinterpret_cast<LPARAM>(&item));
}

std::string TWin32ListView::ItemCaption(int row) const {
  if (row < 0 || row >= ItemCount()) return {};
  return FRows[static_cast<size_t>(row)].Caption;
}

int TWin32ListView::SubItemCount(int row) const {
  if (row < 0 || row >= ItemCount()) return 0;
  return static_cast<int>(FRows[static_cast<size_t>(row)].SubItems.size());
}

std::string TWin32ListView::SubItem(int row, int index) const {
  if (index < 0 || index >= SubItemCount(row)) return {};
  return FRows[static_cast<size_t>(row)].SubItems[static_cast<size_t>(index)];
}

void TWin32ListView::Clear() {
  FQuiet = true;
  SendMessageA(Window(), LVM_DELETEALLITEMS, 0, 0);
  FQuiet = false;
  FRows.clear();
  FLastSelected = -1;
  FitColumns();
}

int TWin32ListView::Selected() const {
  return static_cast<int>(
      SendMessageA(Window(), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

void TWin32ListView::SetSelected(int row) {
  if (row < 0 || row >= ItemCount()) row = -1;
  const int old = Selected();
  if (row == old) return;
  if (old >= 0) SetRowSelected(old, false);
  if (row < 0) return;
  SetRowSelected(row, true);
  SendMessageA(Window(), LVM_ENSUREVISIBLE, static_cast<WPARAM>(row), FALSE);
}

void TWin32ListView::SetRowSelected(int row, bool selected) {
  LVITEMA item{};
  item.stateMask = LVIS_SELECTED | (selected ? LVIS_FOCUSED : 0);
  item.state = selected ? item.stateMask : 0;
  SendMessageA(Window(), LVM_SETITEMSTATE, static_cast<WPARAM>(row),
               reinterpret_cast<LPARAM>(&item));
}

bool TWin32ListView::OnNotify(NMHDR& header, LRESULT& result) {
  switch (header.code) {
    case LVN_ITEMCHANGED:
      ItemChanged(reinterpret_cast<NMLISTVIEW&>(header));
      return true;
    case NM_CLICK:
      if (OnClick) OnClick(*this);
      return true;
    case NM_CUSTOMDRAW:
      result = CustomDraw(reinterpret_cast<NMLVCUSTOMDRAW&>(header));
      return true;
    default:
      return false;
  }
}

void TWin32ListView::ItemChanged(const NMLISTVIEW& change) {
  if (FQuiet || !(change.uChanged & LVIF_STATE)) return;
  const bool was = change.uOldState & LVIS_SELECTED;
  const bool is = change.uNewState & LVIS_SELECTED;
  if (was == is) return;
  // A change of every row at once (-1) can only be the loss of the one selection.
  int row = change.iItem;
  if (row < 0) {
    if (is || FLastSelected < 0) return;
    row = FLastSelected;
  }
  if (is)
    FLastSelected = row;
  else if (row == FLastSelected)
    FLastSelected = -1;
  if (OnSelectItem) OnSelectItem(*this, row, is);
}

LRESULT TWin32ListView::CustomDraw(NMLVCUSTOMDRAW& draw) {
  switch (draw.nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
      return OnCustomDrawSubItem ? CDRF_NOTIFYITEMDRAW : CDRF_DODEFAULT;
    case CDDS_ITEMPREPAINT:
      FRowTextColor = draw.clrText;
      FRowBackColor = draw.clrTextBk;
      return CDRF_NOTIFYSUBITEMDRAW;
    case CDDS_ITEMPREPAINT | CDDS_SUBITEM:
      return DrawSubItem(draw);
    default:
      return CDRF_DODEFAULT;
  }
}

// Every cell starts from the list's own font and the row's colours, so a change made for one
// cell never carries over to the next.
LRESULT TWin32ListView::DrawSubItem(NMLVCUSTOMDRAW& draw) {
  TDrawFont font;
  bool defaultDraw = true;
  const int row = static_cast<int>(draw.nmcd.dwItemSpec);
  if (OnCustomDrawSubItem)
    OnCustomDrawSubItem(*this, row, draw.iSubItem, DrawState(draw.nmcd.uItemState), font,
                        defaultDraw);
  SelectObject(draw.nmcd.hdc, StyledFont(font.Style));
  draw.clrText = font.Color == clDefault ? FRowTextColor : ColorRef(font.Color);
  draw.clrTextBk = FRowBackColor;
  return CDRF_NEWFONT | (defaultDraw ? 0 : CDRF_SKIPDEFAULT);
}

HFONT TWin32ListView::StyledFont(TFontStyles style) {
  HFONT own = Factory().Fonts().Get(Font());
  style &= 0x0F;
  if (style == Font().Style) return own;
  TFontOwner& slot = FStyledFonts[style];
  if (!slot) {
    LOGFONTA base{};
    GetObjectA(own, sizeof(base), &base);
    slot = CreateStyledFont(base, style);
  }
  return slot ? slot.Get() : own;
}

}  // namespace tagscope
