#include "ui/win32/win32_list_box.h"

#include "tagscope/rtl/exception.h"
#include "ui/win32/win32_node.h"

namespace tagscope {

namespace {

DWORD ListBoxStyle(const TListBoxProps& props) {
  DWORD style = LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL;
  if (props.TabOrder >= 0) style |= WS_TABSTOP;
  return style;
}

}  // namespace

TWin32ListBox::TWin32ListBox(TWin32Factory& factory, TWidget& parent, const TListBoxProps& props)
    : TWin32Widget(factory, &parent, props) {
  CreateNative("LISTBOX", ListBoxStyle(props), WS_EX_CLIENTEDGE);
  if (props.ItemHeight > 0)
    SendMessageA(Window(), LB_SETITEMHEIGHT, 0, MAKELPARAM(props.ItemHeight, 0));
}

TWin32ListBox::~TWin32ListBox() {
  FreeObjects();
}

void TWin32ListBox::BeginUpdate() {
  if (FUpdateDepth++ == 0) SendMessageA(Window(), WM_SETREDRAW, FALSE, 0);
}

void TWin32ListBox::EndUpdate() {
  if (FUpdateDepth == 0 || --FUpdateDepth > 0) return;
  SendMessageA(Window(), WM_SETREDRAW, TRUE, 0);
  InvalidateRect(Window(), nullptr, TRUE);
}

int TWin32ListBox::Count() const {
  return static_cast<int>(SendMessageA(Window(), LB_GETCOUNT, 0, 0));
}

int TWin32ListBox::AddItem(const std::string& text, std::unique_ptr<TObject> object) {
  const std::wstring wide = WideText(text);
  const auto index =
      SendMessageW(Window(), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide.c_str()));
  if (index < 0) throw Exception(Format("Cannot add an entry to %s", Props().Name.c_str()));
  FObjects.push_back(std::move(object));
  return static_cast<int>(index);
}

std::string TWin32ListBox::Item(int index) const {
  if (index < 0 || index >= Count()) return {};
  const auto length = SendMessageW(Window(), LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
  if (length <= 0) return {};
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  const auto copied = SendMessageW(Window(), LB_GETTEXT, static_cast<WPARAM>(index),
                                   reinterpret_cast<LPARAM>(text.data()));
  return Utf8Text(text.data(), copied > 0 ? static_cast<size_t>(copied) : 0);
}

TObject* TWin32ListBox::Object(int index) const {
  if (index < 0 || index >= static_cast<int>(FObjects.size())) return nullptr;
  return FObjects[static_cast<size_t>(index)].get();
}

void TWin32ListBox::FreeObjects() {
  for (auto& object : FObjects) object.reset();
  FObjects.clear();
}

void TWin32ListBox::Clear() {
  FreeObjects();
  SendMessageA(Window(), LB_RESETCONTENT, 0, 0);
}

int TWin32ListBox::ItemIndex() const {
  return static_cast<int>(SendMessageA(Window(), LB_GETCURSEL, 0, 0));
}

void TWin32ListBox::SetItemIndex(int index) {
  if (index < 0 || index >= Count()) index = -1;
  SendMessageA(Window(), LB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

bool TWin32ListBox::OnCommand(WORD code, WORD id, LRESULT& result) {
  if (code != LBN_SELCHANGE) return false;
  if (OnClick) OnClick(*this);
  return true;
}

}  // namespace tagscope
