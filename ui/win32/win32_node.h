#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "ui/props.h"
#include "ui/widget.h"
#include "ui/win32/win32_handles.h"

namespace tagscope {

class TWin32Factory;

// Window classes of this backend's own windows: containers (form, tab page, panel) and the
// image control. Their window procedure finds the node in the window's first extra slot.
inline constexpr const char* kFormClass = "TagscopeForm";
inline constexpr const char* kPageClass = "TagscopePage";
inline constexpr const char* kPanelClass = "TagscopePanel";
inline constexpr const char* kImageClass = "TagscopeImage";

// Registers the classes above for the module holding this code; calls nest, and the last
// UnregisterNodeClasses removes them again, so a plug-in DLL that is unloaded leaves no class
// pointing into freed code.
void RegisterNodeClasses();
void UnregisterNodeClasses();
HINSTANCE ModuleInstance();

// The Win32 colour for a colour value; system colours go through GetSysColor.
COLORREF ColorRef(TColor color);
// The controls hold their texts as UTF-16, the widgets as UTF-8. A text that is not UTF-8 is
// taken in the ANSI code page, as a host's file names (and messages quoting them) come.
std::wstring WideText(const std::string& text);
std::string Utf8Text(const wchar_t* text, size_t length);
std::string Utf8Text(const std::wstring& text);
// The whole text of a window, in UTF-8.
std::string WindowText(HWND window);

// What every native control of this backend has: its window, its parent node and the children
// that live inside it, its resolved font, and the hooks through which its parent window hands
// it the notifications the control sends (WM_COMMAND, WM_NOTIFY, WM_CTLCOLOR*, WM_SETCURSOR).
class TWin32Node {
 public:
  TWin32Node(TWin32Factory& factory, TWin32Node* parent, const TControlProps& props);
  virtual ~TWin32Node();
  TWin32Node(const TWin32Node&) = delete;
  TWin32Node& operator=(const TWin32Node&) = delete;

  HWND Window() const { return FWindow.Get(); }
  TWin32Factory& Factory() const { return FFactory; }
  TWin32Node* ParentNode() const { return FParent; }
  const TControlProps& Props() const { return FProps; }
  const TFontProps& Font() const { return FFont; }

  // The node behind a window of this backend, or nullptr for any other window.
  static TWin32Node* FromWindow(HWND window);

  // Notifications the control sent to its parent window. Return true when handled.
  virtual bool OnCommand(WORD code, WORD id, LRESULT& result) { return false; }
  virtual bool OnNotify(NMHDR& header, LRESULT& result) { return false; }
  // Colours for WM_CTLCOLOR*; nullptr leaves them to the system.
  virtual HBRUSH OnCtlColor(HDC dc) { return nullptr; }
  // Ctrl+Tab (forward) or Ctrl+Shift+Tab pressed in this control or one inside it; true when
  // taken. Page controls take it.
  virtual bool OnPageKey(bool forward) { return false; }
  // Hands a key pressed in a window to the nearest control of ours, round it, that takes page
  // keys; true when one took it.
  static bool RoutePageKey(HWND window, WPARAM key);

  // The window procedure of this backend's own classes.
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

 protected:
  // Creates the native window from the props (bounds, visibility, caption), binds it to this
  // node, gives it its font and places it in its parent's tab order. Called by the most
  // derived constructor. Own classes pass this node as creation data.
  void CreateNative(const char* className, DWORD style, DWORD exStyle);
  void CreateNativeIn(HWND parentWindow, const char* className, DWORD style, DWORD exStyle,
                      const TBounds& bounds);

  TBounds NativeBounds() const;
  void SetNativeBounds(const TBounds& bounds);
  bool NativeVisible() const;
  void SetNativeVisible(bool visible);
  void MoveToWindow(HWND parent);

  // Messages to an own-class window; return true when handled. The default serves containers:
  // it hands child notifications to the child's node and follows size changes.
  virtual bool WindowMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
  // The area that children filling this control take (client coordinates).
  virtual TBounds ClientArea() const;
  // The window size changed: children filling the control follow, then SizeChanged.
  virtual void SizeChanged() {}
  // The window procedure saw WM_NCDESTROY: the native window is gone.
  void WindowDestroyed();

  bool ReflectCommand(WPARAM wParam, LPARAM lParam, LRESULT& result);
  bool ReflectNotify(LPARAM lParam, LRESULT& result);
  bool ReflectCtlColor(WPARAM wParam, LPARAM lParam, LRESULT& result);
  bool SetChildCursor(WPARAM wParam, LPARAM lParam);

 private:
  LRESULT Dispatch(UINT message, WPARAM wParam, LPARAM lParam);
  void Bind(HWND window);
  void PlaceInTabOrder();
  void CheckSize();
  void LayoutChildren();
  void Detach();

  TWin32Factory& FFactory;
  TWin32Node* FParent;
  TControlProps FProps;
  TFontProps FFont;
  TWindowOwner FWindow;
  SIZE FLastSize{-1, -1};
  bool FOwnClass = false;
  std::vector<TWin32Node*> FChildren;
};

// The operations every widget has, on top of a node.
template <class TBase>
class TWin32Widget : public TBase, public TWin32Node {
 public:
  TWin32Widget(TWin32Factory& factory, TWidget* parent, const TControlProps& props)
      : TBase(props.Name), TWin32Node(factory, NodeOf(parent), props) {}

  TBounds Bounds() const override { return NativeBounds(); }
  void SetBounds(const TBounds& bounds) override { SetNativeBounds(bounds); }
  bool Visible() const override { return NativeVisible(); }
  void SetVisible(bool visible) override { SetNativeVisible(visible); }
  TNativeHandle Handle() const override { return ToNative(Window()); }
  void SetParentWindow(TNativeHandle parent) override { MoveToWindow(ToHwnd(parent)); }

  static TWin32Node* NodeOf(TWidget* widget) { return dynamic_cast<TWin32Node*>(widget); }
};

// A widget of one of this backend's own classes that paints every pixel of itself: erasing
// is left out, so that the picture or the caption does not flicker on redraw.
template <class TBase>
class TWin32PaintedWidget : public TWin32Widget<TBase> {
 public:
  using TWin32Widget<TBase>::TWin32Widget;

 protected:
  virtual void Paint(HDC dc) = 0;

  bool WindowMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override {
    switch (message) {
      case WM_ERASEBKGND:
        result = 1;
        return true;
      case WM_PAINT: {
        TPaintScope paint(this->Window());
        Paint(paint.Dc());
        return true;
      }
      default:
        return TWin32Widget<TBase>::WindowMessage(message, wParam, lParam, result);
    }
  }
};

// The native window of a widget of this backend.
inline HWND WindowOf(const TWidget& widget) {
  return ToHwnd(widget.Handle());
}

}  // namespace tagscope
