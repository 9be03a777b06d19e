#include "ui/win32/win32_node.h"

#include <commctrl.h>

#include <algorithm>
#include <cstring>
#include <exception>

#include "tagscope/rtl/exception.h"
#include "tagscope/rtl/utf8.h"
#include "ui/win32/win32_factory.h"
#include "ui/win32/win32_fonts.h"

namespace tagscope {

namespace {

// The window property that ties a control window to its node; a window without it is not one
// of ours, so a foreign window's data is never taken for a node.
constexpr const char* kNodeProperty = "tagscope.widget";

int gClassUsers = 0;

bool IsOwnClass(const char* name) {
  for (const char* own : {kFormClass, kPageClass, kPanelClass, kImageClass})
    if (std::strcmp(name, own) == 0) return true;
  return false;
}

void RegisterOne(const char* name, int background) {
  const std::wstring className = WideText(name);
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = TWin32Node::WindowProc;
  wc.cbWndExtra = sizeof(LONG_PTR);
  wc.hInstance = ModuleInstance();
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = background >= 0 ? GetSysColorBrush(background) : nullptr;
  wc.lpszClassName = className.c_str();
  if (RegisterClassExW(&wc)) return;
  // A class left behind by an earlier load of this module: replace it.
  UnregisterClassW(className.c_str(), wc.hInstance);
  if (!RegisterClassExW(&wc))
    throw Exception(Format("Cannot register the window class %s (error %lu)", name,
                           static_cast<unsigned long>(GetLastError())));
}

bool CtrlTab(WPARAM key) {
  return key == VK_TAB && GetKeyState(VK_CONTROL) < 0;
}

// System controls hand Ctrl+Tab to the page control around them instead of ignoring it. A host
// that runs a dialog loop asks first whether the control wants the key; it does.
LRESULT CALLBACK PageKeySubclass(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                 DWORD_PTR) {
  if (message == WM_KEYDOWN && CtrlTab(wParam) && TWin32Node::RoutePageKey(window, wParam))
    return 0;
  if (message == WM_GETDLGCODE) {
    const auto* msg = reinterpret_cast<const MSG*>(lParam);
    const LRESULT code = DefSubclassProc(window, message, wParam, lParam);
    if (msg && msg->message == WM_KEYDOWN && CtrlTab(msg->wParam)) return code | DLGC_WANTMESSAGE;
    return code;
  }
  return DefSubclassProc(window, message, wParam, lParam);
}

}  // namespace

bool TWin32Node::RoutePageKey(HWND window, WPARAM key) {
  if (!CtrlTab(key)) return false;
  TWin32Node* node = nullptr;
  for (; window && !node; window = GetAncestor(window, GA_PARENT)) node = FromWindow(window);
  const bool forward = GetKeyState(VK_SHIFT) >= 0;
  for (; node; node = node->FParent)
    if (node->OnPageKey(forward)) return true;
  return false;
}

HINSTANCE ModuleInstance() {
  HMODULE module = nullptr;
  GetModuleHandleExA(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<LPCSTR>(&ModuleInstance), &module);
  return module;
}

void RegisterNodeClasses() {
  if (gClassUsers++ > 0) return;
  try {
    RegisterOne(kFormClass, -1);  // the form paints its own colour
    RegisterOne(kPageClass, COLOR_BTNFACE);
    RegisterOne(kPanelClass, -1);
    RegisterOne(kImageClass, -1);
  } catch (...) {
    --gClassUsers;
    throw;
  }
}

void UnregisterNodeClasses() {
  if (gClassUsers == 0 || --gClassUsers > 0) return;
  for (const char* name : {kFormClass, kPageClass, kPanelClass, kImageClass})
    UnregisterClassW(WideText(name).c_str(), ModuleInstance());
}

COLORREF ColorRef(TColor color) {
  if (color & clSystemColor) return GetSysColor(static_cast<int>(color & 0xFF));
  return color & 0xFFFFFF;
}

std::wstring WideText(const std::string& text) {
  if (IsValidUtf8(text)) {
    const std::u16string units = Utf8ToUtf16(text);
    return std::wstring(units.begin(), units.end());
  }
  const int size = static_cast<int>(text.size());
  const int length = MultiByteToWideChar(CP_ACP, 0, text.data(), size, nullptr, 0);
  std::wstring wide(static_cast<size_t>(std::max(length, 0)), L'\0');
  if (length > 0) MultiByteToWideChar(CP_ACP, 0, text.data(), size, wide.data(), length);
  return wide;
}

std::string Utf8Text(const wchar_t* text, size_t length) {
  return Utf16ToUtf8(std::u16string(text, text + length));
}

std::string Utf8Text(const std::wstring& text) {
  return Utf8Text(text.data(), text.size());
}

std::string WindowText(HWND window) {
  const int length = GetWindowTextLengthW(window);
  if (length <= 0) return {};
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  const int copied = GetWindowTextW(window, text.data(), length + 1);
  return Utf8Text(text.data(), static_cast<size_t>(std::max(copied, 0)));
}

// ---- TWin32Node

TWin32Node::TWin32Node(TWin32Factory& factory, TWin32Node* parent, const TControlProps& props)
    : FFactory(factory),
      FParent(parent),
      FProps(props),
      FFont(props.Font ? *props.Font
            : parent   ? parent->Font()
                       : TFontProps{}) {
  if (FParent) FParent->FChildren.push_back(this);
}

TWin32Node::~TWin32Node() {
  Detach();
  // Children still inside this window die with it natively; their nodes forget the handle.
  for (TWin32Node* child : FChildren) {
    child->FParent = nullptr;
    if (child->Window()) RemovePropA(child->Window(), kNodeProperty);
    child->FWindow.Release();
  }
  if (HWND window = Window()) {
    RemovePropA(window, kNodeProperty);
    // The messages of the window's destruction no longer reach this half-destroyed node.
    if (FOwnClass) SetWindowLongPtrA(window, 0, 0);
  }
}

void TWin32Node::Detach() {
  if (!FParent) return;
  auto& siblings = FParent->FChildren;
  siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
  FParent = nullptr;
}

TWin32Node* TWin32Node::FromWindow(HWND window) {
  if (!window) return nullptr;
  return static_cast<TWin32Node*>(GetPropA(window, kNodeProperty));
}

void TWin32Node::CreateNative(const char* className, DWORD style, DWORD exStyle) {
  if (!FParent || !FParent->Window())
    throw Exception(
        Format("The control %s needs a parent control of this backend", FProps.Name.c_str()));
  TBounds bounds = FProps.Bounds;
  if (FProps.Align == TAlign::alClient) bounds = FParent->ClientArea();
  CreateNativeIn(FParent->Window(), className, style | WS_CHILD, exStyle, bounds);
}

void TWin32Node::CreateNativeIn(HWND parentWindow, const char* className, DWORD style,
                                DWORD exStyle, const TBounds& bounds) {
  if (FProps.Visible) style |= WS_VISIBLE;
  FLastSize = {bounds.Width, bounds.Height};
  // Only the own classes take this node as creation data; system controls get none.
  const bool own = IsOwnClass(className);
  HWND window =
      CreateWindowExW(exStyle, WideText(className).c_str(), WideText(FProps.Caption).c_str(), style,
                      bounds.Left, bounds.Top, bounds.Width, bounds.Height, parentWindow, nullptr,
                      ModuleInstance(), own ? this : nullptr);
  if (!window)
    throw Exception(Format("Cannot create the control %s (error %lu)", FProps.Name.c_str(),
                           static_cast<unsigned long>(GetLastError())));
  if (Window() != window) Bind(window);
  if (!own) SetWindowSubclass(window, PageKeySubclass, 0, 0);
  SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(FFactory.Fonts().Get(FFont)), FALSE);
  PlaceInTabOrder();
}

void TWin32Node::Bind(HWND window) {
  FWindow.Reset(window);
  SetPropA(window, kNodeProperty, this);
}

// Siblings take the focus in z-order; a control goes before the first sibling that comes after
// it in the tab order.
void TWin32Node::PlaceInTabOrder() {
  if (!FParent || FProps.TabOrder < 0) return;
  for (TWin32Node* sibling : FParent->FChildren) {
    if (sibling == this || !sibling->Window() || sibling->FProps.TabOrder <= FProps.TabOrder)
      continue;
    HWND before = GetWindow(sibling->Window(), GW_HWNDPREV);
    if (before == Window()) return;
    SetWindowPos(Window(), before ? before : HWND_TOP, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOREDRAW);
    return;
  }
}

TBounds TWin32Node::NativeBounds() const {
  RECT r{};
  if (!Window() || !GetWindowRect(Window(), &r)) return {};
  if (GetWindowLongPtrA(Window(), GWL_STYLE) & WS_CHILD)
    MapWindowPoints(HWND_DESKTOP, GetAncestor(Window(), GA_PARENT), reinterpret_cast<POINT*>(&r),
                    2);
  return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

void TWin32Node::SetNativeBounds(const TBounds& bounds) {
  if (!Window()) return;
  SetWindowPos(Window(), nullptr, bounds.Left, bounds.Top, bounds.Width, bounds.Height,
               SWP_NOZORDER | SWP_NOACTIVATE);
  // Own classes saw WM_SIZE already; system controls learn of their new size here.
  CheckSize();
}

void TWin32Node::CheckSize() {
  RECT r{};
  if (!Window() || !GetWindowRect(Window(), &r)) return;
  const SIZE size{r.right - r.left, r.bottom - r.top};
  if (size.cx == FLastSize.cx && size.cy == FLastSize.cy) return;
  FLastSize = size;
  LayoutChildren();
  SizeChanged();
}

void TWin32Node::LayoutChildren() {
  for (TWin32Node* child : std::vector<TWin32Node*>(FChildren))
    if (child->FProps.Align == TAlign::alClient) child->SetNativeBounds(ClientArea());
}

TBounds TWin32Node::ClientArea() const {
  RECT r{};
  if (Window()) GetClientRect(Window(), &r);
  return {0, 0, r.right, r.bottom};
}

bool TWin32Node::NativeVisible() const {
  return Window() && (GetWindowLongPtrA(Window(), GWL_STYLE) & WS_VISIBLE) != 0;
}

void TWin32Node::SetNativeVisible(bool visible) {
  if (!Window() || visible == NativeVisible()) return;
  const bool child = GetWindowLongPtrA(Window(), GWL_STYLE) & WS_CHILD;
  ShowWindow(Window(), !visible ? SW_HIDE : child ? SW_SHOWNA : SW_SHOW);
}

void TWin32Node::MoveToWindow(HWND parent) {
  if (!Window()) return;
  const TBounds bounds = NativeBounds();
  Detach();
  SetParent(Window(), parent);
  SetWindowPos(Window(), nullptr, bounds.Left, bounds.Top, bounds.Width, bounds.Height,
               SWP_NOZORDER | SWP_NOACTIVATE);
}

void TWin32Node::WindowDestroyed() {
  RemovePropA(Window(), kNodeProperty);
  FWindow.Release();
}

// ---- the window procedure of the own classes

LRESULT CALLBACK TWin32Node::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* node = static_cast<TWin32Node*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    SetWindowLongPtrA(window, 0, reinterpret_cast<LONG_PTR>(node));
    if (node) {
      node->FOwnClass = true;
      node->Bind(window);
    }
  }
  auto* node = reinterpret_cast<TWin32Node*>(GetWindowLongPtrA(window, 0));
  if (!node) return DefWindowProcW(window, message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrA(window, 0, 0);
    node->WindowDestroyed();
    return DefWindowProcW(window, message, wParam, lParam);
  }
  return node->Dispatch(message, wParam, lParam);
}

// No exception may cross the window procedure: one escaping a handler is shown to the user,
// and one escaping that as well is dropped.
LRESULT TWin32Node::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
  HWND window = Window();
  std::string error;
  try {
    LRESULT result = 0;
    if (WindowMessage(message, wParam, lParam, result)) return result;
    return DefWindowProcW(window, message, wParam, lParam);
  } catch (const std::exception& e) {
    error = e.what();
  } catch (...) {
    error = "Unexpected error";
  }
  try {
    FFactory.ShowErrorMessage(error);
  } catch (...) {
  }
  return 0;
}

bool TWin32Node::WindowMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  switch (message) {
    case WM_COMMAND:
      return ReflectCommand(wParam, lParam, result);
    case WM_NOTIFY:
      return ReflectNotify(lParam, result);
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
      return ReflectCtlColor(wParam, lParam, result);
    case WM_SETCURSOR:
      result = SetChildCursor(wParam, lParam);
      return result != 0;
    case WM_SIZE:
      CheckSize();
      return false;
    case WM_KEYDOWN:
      return RoutePageKey(Window(), wParam);
    default:
      return false;
  }
}

bool TWin32Node::ReflectCommand(WPARAM wParam, LPARAM lParam, LRESULT& result) {
  TWin32Node* child = FromWindow(reinterpret_cast<HWND>(lParam));
  return child && child->OnCommand(HIWORD(wParam), LOWORD(wParam), result);
}

bool TWin32Node::ReflectNotify(LPARAM lParam, LRESULT& result) {
  auto* header = reinterpret_cast<NMHDR*>(lParam);
  TWin32Node* child = header ? FromWindow(header->hwndFrom) : nullptr;
  return child && child->OnNotify(*header, result);
}

bool TWin32Node::ReflectCtlColor(WPARAM wParam, LPARAM lParam, LRESULT& result) {
  TWin32Node* child = FromWindow(reinterpret_cast<HWND>(lParam));
  HBRUSH brush = child ? child->OnCtlColor(reinterpret_cast<HDC>(wParam)) : nullptr;
  result = reinterpret_cast<LRESULT>(brush);
  return brush != nullptr;
}

// The cursor of the control under the mouse, or of the nearest control of ours holding it
// (a list view's header belongs to the list).
bool TWin32Node::SetChildCursor(WPARAM wParam, LPARAM lParam) {
  if (LOWORD(lParam) != HTCLIENT) return false;
  for (HWND window = reinterpret_cast<HWND>(wParam); window && window != Window();
       window = GetAncestor(window, GA_PARENT)) {
    TWin32Node* node = FromWindow(window);
    if (!node) continue;
    if (node->FProps.Cursor != TCursor::crHandPoint) return false;
    SetCursor(LoadCursor(nullptr, IDC_HAND));
    return true;
  }
  return false;
}

}  // namespace tagscope
