#include "tests/ui/win32/dialog_answer.h"

#include <cstring>
#include <utility>

namespace tagscope::test {

namespace {
TDialogAnswer* gAnswer = nullptr;
}

TDialogAnswer::TDialogAnswer(std::function<void(HWND dialog)> action) : FAction(std::move(action)) {
  gAnswer = this;
  FHook = ::SetWindowsHookExA(WH_CBT, Hook, nullptr, ::GetCurrentThreadId());
}

TDialogAnswer::~TDialogAnswer() {
  if (FHook) ::UnhookWindowsHookEx(FHook);
  if (FTimer) ::KillTimer(nullptr, FTimer);
  gAnswer = nullptr;
}

LRESULT CALLBACK TDialogAnswer::Hook(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_ACTIVATE && gAnswer && !gAnswer->FDialog) {
    char name[32] = {};
    HWND window = reinterpret_cast<HWND>(wParam);
    ::GetClassNameA(window, name, sizeof name);
    if (std::strcmp(name, "#32770") == 0) {
      gAnswer->FDialog = window;
      gAnswer->FOwner = ::GetWindow(window, GW_OWNER);
      // The dialog is not finished yet: act from its message loop a little later.
      gAnswer->FTimer = ::SetTimer(nullptr, 0, 200, Timer);
    }
  }
  return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

void CALLBACK TDialogAnswer::Timer(HWND, UINT, UINT_PTR id, DWORD) {
  ::KillTimer(nullptr, id);
  if (!gAnswer || gAnswer->FTimer != id) return;
  gAnswer->FTimer = 0;
  gAnswer->FAnswered = true;
  gAnswer->FAction(gAnswer->FDialog);
}

}  // namespace tagscope::test
