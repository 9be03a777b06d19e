#pragma once

#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tests/ui/win32/dialog_answer.h"
#include "ui/win32/win32_factory.h"

namespace tagscope::test {

// Handles every message waiting in this thread's queue.
void PumpMessages();
// Paints a window now and reads one pixel of its client area from the screen.
COLORREF PixelAt(HWND window, int x, int y);
// How many pixels of a client rectangle have exactly the colour.
int CountPixels(HWND window, const RECT& area, COLORREF color);
// The whole text of a window.
std::string TextOf(HWND window);
// A list view cell's text, read with LVM_GETITEMTEXTA.
std::string CellText(HWND list, int row, int column);

// A visible top-level window at the top left of the screen standing in for the host. It keeps
// the messages from WM_APP upwards that it receives, sent or posted.
class TTestWindow {
 public:
  TTestWindow(int width = 480, int height = 440);
  ~TTestWindow();
  TTestWindow(const TTestWindow&) = delete;
  TTestWindow& operator=(const TTestWindow&) = delete;

  HWND Handle() const { return FWindow; }
  TNativeHandle Native() const { return reinterpret_cast<TNativeHandle>(FWindow); }
  const std::vector<MSG>& Received() const { return FReceived; }
  void ClearReceived() { FReceived.clear(); }
  // Runs while a sent message is being handled.
  std::function<void(const MSG&)> OnReceive;

 private:
  static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  HWND FWindow = nullptr;
  std::vector<MSG> FReceived;
};

// The test window shared by the tests of this program: made once, since Wine takes a while
// to make and to take away a top-level window.
TTestWindow& SharedTestWindow();

// A factory whose error messages are recorded, the shared host window, and a form inside it.
class Win32Test : public ::testing::Test {
 protected:
  Win32Test();
  ~Win32Test() override;

  template <class T>
  T* Own(std::unique_ptr<T> component) {
    return components.Adopt(std::move(component));
  }
  // A page of a page control filling the form, for controls to live on.
  TTabSheet* MakePage();

  TWin32Factory factory;
  std::vector<std::string> errors;
  TTestWindow& host = SharedTestWindow();
  TComponentList components;  // freed before the factory, children before parents
  TForm* form = nullptr;
};

}  // namespace tagscope::test
