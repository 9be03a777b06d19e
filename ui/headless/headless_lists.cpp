#include "ui/headless/headless_lists.h"

#include "ui/headless/headless_factory.h"

namespace tagscope {

// ---- THeadlessListView

void THeadlessListView::EndUpdate() {
  if (FUpdateDepth > 0) --FUpdateDepth;
}

int THeadlessListView::AddItem(const std::string& caption) {
  FRows.push_back({caption, {}});
  return ItemCount() - 1;
}

void THeadlessListView::AddSubItem(int row, const std::string& text) {
  if (row < 0 || row >= ItemCount()) return;
  FRows[static_cast<size_t>(row)].SubItems.push_back(text);
}

const THeadlessListView::TRow* THeadlessListView::RowAt(int row) const {
  if (row < 0 || row >= ItemCount()) return nullptr;
  return &FRows[static_cast<size_t>(row)];
}

std::string THeadlessListView::ItemCaption(int row) const {
  const TRow* r = RowAt(row);
  return r ? r->Caption : std::string();
}

int THeadlessListView::SubItemCount(int row) const {
  const TRow* r = RowAt(row);
  return r ? static_cast<int>(r->SubItems.size()) : 0;
}

std::string THeadlessListView::SubItem(int row, int index) const {
  const TRow* r = RowAt(row);
  if (!r || index < 0 || index >= static_cast<int>(r->SubItems.size())) return {};
  return r->SubItems[static_cast<size_t>(index)];
}

void THeadlessListView::Clear() {
  FRows.clear();
  FSelected = -1;
}

void THeadlessListView::SetSelected(int row) {
  if (row < 0 || row >= ItemCount()) row = -1;
  if (row == FSelected) return;
  const int old = FSelected;
  FSelected = -1;
  if (old >= 0 && OnSelectItem) OnSelectItem(*this, old, false);
  FSelected = row;
  if (row >= 0 && OnSelectItem) OnSelectItem(*this, row, true);
}

void THeadlessListView::UserClick(int row) {
  Factory().Dispatch([&] {
    SetSelected(row);
    if (OnClick) OnClick(*this);
  });
}

void THeadlessListView::UserSelect(int row) {
  Factory().Dispatch([&] { SetSelected(row); });
}

THeadlessCellDrawing THeadlessListView::PaintCell(int row, int column, TCustomDrawState state) {
  THeadlessCellDrawing result;
  if (OnCustomDrawSubItem)
    OnCustomDrawSubItem(*this, row, column, state, result.Font, result.DefaultDraw);
  return result;
}

// ---- THeadlessListBox

void THeadlessListBox::EndUpdate() {
  if (FUpdateDepth > 0) --FUpdateDepth;
}

int THeadlessListBox::AddItem(const std::string& text, std::unique_ptr<TObject> object) {
  FEntries.push_back({text, std::move(object)});
  return Count() - 1;
}

std::string THeadlessListBox::Item(int index) const {
  if (index < 0 || index >= Count()) return {};
  return FEntries[static_cast<size_t>(index)].Text;
}

TObject* THeadlessListBox::Object(int index) const {
  if (index < 0 || index >= Count()) return nullptr;
  return FEntries[static_cast<size_t>(index)].Object.get();
}

void THeadlessListBox::Clear() {
  for (auto& entry : FEntries) entry.Object.reset();
  FEntries.clear();
  FItemIndex = -1;
}

void THeadlessListBox::SetItemIndex(int index) {
  FItemIndex = index >= 0 && index < Count() ? index : -1;
}

void THeadlessListBox::UserSelect(int index) {
  Factory().Dispatch([&] {
    SetItemIndex(index);
    if (OnClick) OnClick(*this);
  });
}

}  // namespace tagscope
