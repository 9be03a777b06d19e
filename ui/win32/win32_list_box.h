#pragma once

#include <memory>
#include <string>
#include <vector>

#include "ui/list_box.h"
#include "ui/win32/win32_node.h"

namespace tagscope {

// A list box (LBS_NOTIFY, unsorted). The texts live in the control; the entries' objects are
// kept here beside them. LBN_SELCHANGE, which the user's mouse and keyboard cause and
// LB_SETCURSEL does not, becomes OnClick.
class TWin32ListBox : public TWin32Widget<TListBox> {
 public:
  TWin32ListBox(TWin32Factory& factory, TWidget& parent, const TListBoxProps& props);
  ~TWin32ListBox() override;

  void BeginUpdate() override;
  void EndUpdate() override;
  int Count() const override;
  int AddItem(const std::string& text, std::unique_ptr<TObject> object) override;
  std::string Item(int index) const override;
  TObject* Object(int index) const override;
  void Clear() override;
  int ItemIndex() const override;
  void SetItemIndex(int index) override;

  bool OnCommand(WORD code, WORD id, LRESULT& result) override;

 private:
  void FreeObjects();

  std::vector<std::unique_ptr<TObject>> FObjects;
  int FUpdateDepth = 0;
};

}  // namespace tagscope
