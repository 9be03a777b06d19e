#pragma once

#include <windows.h>

#include <functional>

namespace tagscope::test {

// Acts on the next modal dialog of this thread (the Open dialog, a message box) once it is up:
// the action runs from the dialog's own message loop with the dialog's window.
class TDialogAnswer {
 public:
  explicit TDialogAnswer(std::function<void(HWND dialog)> action);
  ~TDialogAnswer();
  TDialogAnswer(const TDialogAnswer&) = delete;
  TDialogAnswer& operator=(const TDialogAnswer&) = delete;

  bool Answered() const { return FAnswered; }
  // The dialog that appeared, or null.
  HWND Dialog() const { return FDialog; }
  // The dialog's owner window, taken while it was shown.
  HWND Owner() const { return FOwner; }

 private:
  static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam);
  static void CALLBACK Timer(HWND, UINT, UINT_PTR id, DWORD);

  std::function<void(HWND)> FAction;
  HHOOK FHook = nullptr;
  UINT_PTR FTimer = 0;
  HWND FDialog = nullptr;
  HWND FOwner = nullptr;
  bool FAnswered = false;
};

}  // namespace tagscope::test
