#include "ui/win32/win32_form.h"

#include <commctrl.h>

#include <algorithm>

#include "ui/win32/win32_factory.h"

namespace tagscope {

// ---- TWin32Form

TWin32Form::TWin32Form(TWin32Factory& factory, TNativeHandle parent, const TFormProps& props)
    : TWin32Widget(factory, nullptr, FormControlProps(props)), FFormProps(props) {
  // Without a border the window's size is its client size.
  const DWORD style = (parent ? WS_CHILD : WS_POPUP) | WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
  CreateNativeIn(ToHwnd(parent), kFormClass, style, WS_EX_CONTROLPARENT, Props().Bounds);
}

bool TWin32Form::WindowMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  switch (message) {
    case WM_COMMAND: {
      ReflectCommand(wParam, lParam, result);
      TCommandMessage command;
      command.Command = LOWORD(wParam);
      command.NotifyCode = HIWORD(wParam);
      command.Source = static_cast<TNativeHandle>(lParam);
      Perform(command);
      result = 0;
      return true;
    }
    case WM_ERASEBKGND:
      PaintBackground(reinterpret_cast<HDC>(wParam));
      result = 1;
      return true;
    case WM_SETFOCUS:
      // The host focusing the viewer puts the focus on the form's active control.
      if (FActiveControl && FActiveControl->Visible()) SetFocus(WindowOf(*FActiveControl));
      return true;
    default:
      return TWin32Widget::WindowMessage(message, wParam, lParam, result);
  }
}

void TWin32Form::PaintBackground(HDC dc) {
  RECT r{};
  GetClientRect(Window(), &r);
  if (FFormProps.Color & clSystemColor) {
    FillRect(dc, &r, GetSysColorBrush(static_cast<int>(FFormProps.Color & 0xFF)));
    return;
  }
  TBrushOwner brush(CreateSolidBrush(ColorRef(FFormProps.Color)));
  FillRect(dc, &r, brush.Get());
}

// ---- TWin32PageControl

TWin32PageControl::TWin32PageControl(TWin32Factory& factory, TWidget& parent,
                                     const TPageControlProps& props)
    : TWin32Widget(factory, &parent, props) {
  DWORD style = WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
  if (props.TabOrder >= 0) style |= WS_TABSTOP;
  CreateNative(WC_TABCONTROLA, style, 0);
}

TTabSheet* TWin32PageControl::Page(int index) const {
  if (index < 0 || index >= PageCount()) return nullptr;
  return FPages[static_cast<size_t>(index)];
}

int TWin32PageControl::ActivePageIndex() const {
  return static_cast<int>(SendMessageA(Window(), TCM_GETCURSEL, 0, 0));
}

void TWin32PageControl::SetActivePageIndex(int index) {
  if (index < 0 || index >= PageCount() || index == ActivePageIndex()) return;
  SendMessageA(Window(), TCM_SETCURSEL, static_cast<WPARAM>(index), 0);
  ShowActivePage();
  if (OnChange) OnChange(*this);
}

bool TWin32PageControl::OnNotify(NMHDR& header, LRESULT& result) {
  if (header.code != TCN_SELCHANGE) return false;
  ShowActivePage();
  if (OnChange) OnChange(*this);
  result = 0;
  return true;
}

bool TWin32PageControl::OnPageKey(bool forward) {
  if (PageCount() == 0) return false;
  SelectNextPage(forward);
  HWND focus = Window();
  if (auto* page = dynamic_cast<TWin32Node*>(Page(ActivePageIndex()))) {
    for (HWND child = GetWindow(page->Window(), GW_CHILD); child;
         child = GetWindow(child, GW_HWNDNEXT)) {
      const LONG_PTR style = GetWindowLongPtrA(child, GWL_STYLE);
      if ((style & WS_TABSTOP) && (style & WS_VISIBLE) && !(style & WS_DISABLED)) {
        focus = child;
        break;
      }
    }
  }
  SetFocus(focus);
  return true;
}

void TWin32PageControl::AddPage(TTabSheet* page) {
  std::wstring caption = WideText(page->Caption());
  TCITEMW item{};
  item.mask = TCIF_TEXT;
  item.pszText = caption.data();
  SendMessageW(Window(), TCM_INSERTITEMW, static_cast<WPARAM>(PageCount()),
               reinterpret_cast<LPARAM>(&item));
  FPages.push_back(page);
  // The tab row exists now: the pages fill what is left below it.
  page->SetBounds(ClientArea());
  ShowActivePage();
}

void TWin32PageControl::RemovePage(TTabSheet* page) {
  for (int i = 0; i < PageCount(); ++i) {
    if (FPages[static_cast<size_t>(i)] != page) continue;
    SendMessageA(Window(), TCM_DELETEITEM, static_cast<WPARAM>(i), 0);
    FPages.erase(FPages.begin() + i);
    break;
  }
  if (PageCount() > 0 && ActivePageIndex() < 0) SendMessageA(Window(), TCM_SETCURSEL, 0, 0);
  ShowActivePage();
}

TBounds TWin32PageControl::ClientArea() const {
  RECT r{};
  GetClientRect(Window(), &r);
  SendMessageA(Window(), TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&r));
  return {r.left, r.top, std::max(0L, r.right - r.left), std::max(0L, r.bottom - r.top)};
}

void TWin32PageControl::ShowActivePage() {
  const int active = ActivePageIndex();
  // The new page shows before the old one hides, so the control never flashes empty.
  if (TTabSheet* page = Page(active)) page->Show();
  for (int i = 0; i < PageCount(); ++i)
    if (i != active) FPages[static_cast<size_t>(i)]->Hide();
}

// ---- TWin32TabSheet

namespace {

TTabSheetProps PageProps(TTabSheetProps props) {
  props.Align = TAlign::alClient;
  props.Visible = false;
  return props;
}

}  // namespace

TWin32TabSheet::TWin32TabSheet(TWin32Factory& factory, TWin32PageControl& parent,
                               const TTabSheetProps& props)
    : TWin32Widget(factory, &parent, PageProps(props)), FPageControl(parent) {
  CreateNative(kPageClass, WS_CLIPCHILDREN | WS_CLIPSIBLINGS, WS_EX_CONTROLPARENT);
  FPageControl.AddPage(this);
}

TWin32TabSheet::~TWin32TabSheet() {
  if (ParentNode()) FPageControl.RemovePage(this);
}

}  // namespace tagscope
