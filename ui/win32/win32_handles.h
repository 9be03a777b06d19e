#pragma once

#include <windows.h>

#include <commctrl.h>

#include <utility>

#include "ui/types.h"

namespace tagscope {

// Owns one Win32 handle and releases it with Free when it goes; movable, not copyable.
template <class THandle, auto Free>
class TScopedHandle {
 public:
  TScopedHandle() = default;
  explicit TScopedHandle(THandle handle) : FHandle(handle) {}
  ~TScopedHandle() { Reset(); }
  TScopedHandle(TScopedHandle&& other) noexcept : FHandle(other.Release()) {}
  TScopedHandle& operator=(TScopedHandle&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  TScopedHandle(const TScopedHandle&) = delete;
  TScopedHandle& operator=(const TScopedHandle&) = delete;

  THandle Get() const { return FHandle; }
  explicit operator bool() const { return FHandle != nullptr; }
  THandle Release() { return std::exchange(FHandle, nullptr); }
  void Reset(THandle handle = nullptr) {
    if (FHandle) Free(FHandle);
    FHandle = handle;
  }

 private:
  THandle FHandle = nullptr;
};

namespace win32_free {
inline void Window(HWND h) {
  if (IsWindow(h)) DestroyWindow(h);
}
inline void GdiObject(HGDIOBJ h) {
  DeleteObject(h);
}
inline void Menu(HMENU h) {
  DestroyMenu(h);
}
inline void ImageList(HIMAGELIST h) {
  ImageList_Destroy(h);
}
inline void Dc(HDC h) {
  DeleteDC(h);
}
}  // namespace win32_free

using TWindowOwner = TScopedHandle<HWND, win32_free::Window>;
using TFontOwner = TScopedHandle<HFONT, win32_free::GdiObject>;
using TBrushOwner = TScopedHandle<HBRUSH, win32_free::GdiObject>;
using TBitmapOwner = TScopedHandle<HBITMAP, win32_free::GdiObject>;
using TMenuOwner = TScopedHandle<HMENU, win32_free::Menu>;
using TImageListOwner = TScopedHandle<HIMAGELIST, win32_free::ImageList>;
using TMemoryDcOwner = TScopedHandle<HDC, win32_free::Dc>;

// A window's device context for a scope (GetDC / ReleaseDC).
class TWindowDc {
 public:
  explicit TWindowDc(HWND window) : FWindow(window), FDc(GetDC(window)) {}
  ~TWindowDc() {
    if (FDc) ReleaseDC(FWindow, FDc);
  }
  TWindowDc(const TWindowDc&) = delete;
  TWindowDc& operator=(const TWindowDc&) = delete;
  HDC Get() const { return FDc; }

 private:
  HWND FWindow;
  HDC FDc;
};

// BeginPaint / EndPaint for a scope.
class TPaintScope {
 public:
  explicit TPaintScope(HWND window) : FWindow(window) { FDc = BeginPaint(window, &FPaint); }
  ~TPaintScope() { EndPaint(FWindow, &FPaint); }
  TPaintScope(const TPaintScope&) = delete;
  TPaintScope& operator=(const TPaintScope&) = delete;
  HDC Dc() const { return FDc; }

 private:
  HWND FWindow;
  PAINTSTRUCT FPaint{};
  HDC FDc;
};

// Selects a GDI object into a device context for a scope.
class TSelectScope {
 public:
  TSelectScope(HDC dc, HGDIOBJ object) : FDc(dc), FOld(SelectObject(dc, object)) {}
  ~TSelectScope() { SelectObject(FDc, FOld); }
  TSelectScope(const TSelectScope&) = delete;
  TSelectScope& operator=(const TSelectScope&) = delete;

 private:
  HDC FDc;
  HGDIOBJ FOld;
};

inline HWND ToHwnd(TNativeHandle handle) {
  return reinterpret_cast<HWND>(handle);
}
template <class THandle>
TNativeHandle ToNative(THandle handle) {
  return reinterpret_cast<TNativeHandle>(handle);
}

}  // namespace tagscope
