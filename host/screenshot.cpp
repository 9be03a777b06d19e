#include "host/screenshot.h"

#include <memory>
#include <type_traits>

#include "tagscope/rtl/exception.h"

namespace tagscope {

namespace {

struct TScreenDC {
  TScreenDC() : DC(::GetDC(nullptr)) {}
  ~TScreenDC() {
    if (DC) ::ReleaseDC(nullptr, DC);
  }
  HDC DC;
};

struct TDCDeleter {
  void operator()(HDC dc) const { ::DeleteDC(dc); }
};
struct TObjectDeleter {
  void operator()(HGDIOBJ object) const { ::DeleteObject(object); }
};
using TMemoryDC = std::unique_ptr<std::remove_pointer_t<HDC>, TDCDeleter>;
using TGdiObject = std::unique_ptr<std::remove_pointer_t<HGDIOBJ>, TObjectDeleter>;

}  // namespace

TRgbImage CaptureWindow(HWND wnd) {
  RECT rect;
  if (!::GetClientRect(wnd, &rect)) throw Exception("The window to capture does not exist.");
  ::MapWindowPoints(wnd, nullptr, reinterpret_cast<POINT*>(&rect), 2);
  MENUBARINFO menuBar = {};
  menuBar.cbSize = sizeof menuBar;
  if (::GetMenu(wnd) && ::GetMenuBarInfo(wnd, OBJID_MENU, 0, &menuBar))
    rect.top = menuBar.rcBar.top;
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;

  TScreenDC screen;
  TMemoryDC memory(::CreateCompatibleDC(screen.DC));
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // rows from the top
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  TGdiObject bitmap(::CreateDIBSection(screen.DC, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!screen.DC || !memory || !bitmap) throw Exception("The screen cannot be read.");
  HGDIOBJ old = ::SelectObject(memory.get(), bitmap.get());
  const BOOL copied =
      ::BitBlt(memory.get(), 0, 0, width, height, screen.DC, rect.left, rect.top, SRCCOPY);
  ::GdiFlush();
  ::SelectObject(memory.get(), old);
  if (!copied) throw Exception("The screen cannot be read.");

  TRgbImage image;
  image.Width = width;
  image.Height = height;
  image.Pixels.resize(static_cast<size_t>(width) * height * 3);
  const auto* source = static_cast<const std::uint8_t*>(bits);
  for (size_t i = 0; i < static_cast<size_t>(width) * height; ++i) {
    image.Pixels[i * 3] = source[i * 4 + 2];
    image.Pixels[i * 3 + 1] = source[i * 4 + 1];
    image.Pixels[i * 3 + 2] = source[i * 4];
  }
  return image;
}

}  // namespace tagscope
