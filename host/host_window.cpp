#include "host/host_window.h"

#include <commctrl.h>

#include <cstdio>

#include "host/screenshot.h"
#include "tagscope/rtl/exception.h"
#include "tagscope/rtl/files.h"

namespace tagscope {

namespace {

constexpr char kHostClass[] = "TagscopeHostWindow";
constexpr char kPaneClass[] = "TagscopeHostPane";
constexpr char kTitle[] = "tagscope host";
constexpr int kViewerWidth = 404;
constexpr int kViewerHeight = 389;
constexpr int kToolBarHeight = 24;
constexpr UINT_PTR kScreenshotTimer = 1;
constexpr UINT kScreenshotDelayMs = 1500;

void RegisterClasses() {
  WNDCLASSEXA wc = {};
  wc.cbSize = sizeof wc;
  wc.hInstance = ::GetModuleHandleA(nullptr);
  wc.hCursor = ::LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
  if (!::GetClassInfoExA(wc.hInstance, kPaneClass, &wc)) {
    wc.lpfnWndProc = ::DefWindowProcA;
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_APPWORKSPACE + 1);
    wc.lpszClassName = kPaneClass;
    ::RegisterClassExA(&wc);
  }
}

// The first window of a class among a window's descendants (only the visible ones, if asked).
HWND FindDescendant(HWND parent, const char* className, bool visible = false) {
  for (HWND child = ::FindWindowExA(parent, nullptr, nullptr, nullptr); child;
       child = ::FindWindowExA(parent, child, nullptr, nullptr)) {
    if (visible && !(::GetWindowLongPtrA(child, GWL_STYLE) & WS_VISIBLE)) continue;
    char name[64] = {};
    ::GetClassNameA(child, name, sizeof name);
    if (::lstrcmpiA(name, className) == 0) return child;
    if (HWND found = FindDescendant(child, className, visible)) return found;
  }
  return nullptr;
}

}  // namespace

THostWindow::THostWindow(TPluginLibrary& plugin, bool shareUI, bool atScreenOrigin)
    : FPlugin(plugin) {
  RegisterClasses();
  WNDCLASSEXA wc = {};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = ::GetModuleHandleA(nullptr);
  wc.hCursor = ::LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kHostClass;
  ::RegisterClassExA(&wc);

  const int x = atScreenOrigin ? 0 : CW_USEDEFAULT;
  FWnd = ::CreateWindowExA(0, kHostClass, kTitle, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, x, x, 640,
                           480, nullptr, nullptr, wc.hInstance, this);
  if (!FWnd) throw Exception("Cannot create the host window. " + LastSystemErrorText());
  FPane =
      ::CreateWindowExA(WS_EX_CLIENTEDGE, kPaneClass, "", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN,
                        0, 0, kViewerWidth, kViewerHeight, FWnd, nullptr, wc.hInstance, nullptr);
  FViewer = FPlugin.CreateViewerWindow(FWnd, FPane, 0, shareUI, &FMenu, &FToolBar, &FAccelerators);
  if (!FViewer) throw Exception("Cannot create the viewer. " + FPlugin.LastErrorText());
  if (FMenu) ::SetMenu(FWnd, FMenu);

  // The window's size: the viewer's own, plus the toolbar, the menu bar and the pane's edge.
  RECT rect = {0, 0, kViewerWidth + 4, kViewerHeight + 4 + (FToolBar ? kToolBarHeight : 0)};
  ::AdjustWindowRectEx(&rect, WS_OVERLAPPEDWINDOW, FMenu != nullptr, 0);
  ::SetWindowPos(FWnd, nullptr, 0, 0, rect.right - rect.left, rect.bottom - rect.top,
                 SWP_NOMOVE | SWP_NOZORDER);
  Layout();
}

THostWindow::~THostWindow() {
  if (FWnd) ::DestroyWindow(FWnd);
}

void THostWindow::Show() {
  ::ShowWindow(FWnd, SW_SHOWNORMAL);
  ::SetForegroundWindow(FWnd);
  ::UpdateWindow(FWnd);
}

bool THostWindow::ShowFile(const std::string& fileName) {
  char fileType[kFileTypeSize + 1] = {};
  if (!FPlugin.ShowFile(FViewer, fileName.c_str(), fileType)) {
    std::fprintf(stderr, "%s: %s\n", fileName.c_str(), FPlugin.LastErrorText().c_str());
    return false;
  }
  SetTitle(fileName, fileType);
  return true;
}

bool THostWindow::SelectPage(int index) {
  HWND tabs = FindDescendant(FViewer, WC_TABCONTROLA);
  if (!tabs || index < 0 || index >= ::SendMessageA(tabs, TCM_GETITEMCOUNT, 0, 0)) return false;
  // Moving the focus to a tab selects it and notifies the viewer, as a click does.
  ::SendMessageA(tabs, TCM_SETCURFOCUS, index, 0);
  return ::SendMessageA(tabs, TCM_GETCURSEL, 0, 0) == index;
}

bool THostWindow::SelectRow(int row) {
  HWND list = FindDescendant(FViewer, WC_LISTVIEWA, true);
  if (!list || row < 0 || row >= ::SendMessageA(list, LVM_GETITEMCOUNT, 0, 0)) return false;
  LVITEMA item{};
  item.stateMask = item.state = LVIS_SELECTED | LVIS_FOCUSED;
  ::SendMessageA(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
  ::SendMessageA(list, LVM_ENSUREVISIBLE, row, FALSE);
  return true;
}

void THostWindow::ScheduleScreenshot(const std::string& fileName) {
  FScreenshotFile = fileName;
  ::SetTimer(FWnd, kScreenshotTimer, kScreenshotDelayMs, nullptr);
}

void THostWindow::Layout() {
  RECT client;
  ::GetClientRect(FWnd, &client);
  const int top = FToolBar ? kToolBarHeight : 0;
  ::MoveWindow(FPane, 0, top, client.right, client.bottom - top, TRUE);
  RECT pane;
  ::GetClientRect(FPane, &pane);
  if (FViewer) ::MoveWindow(FViewer, 0, 0, pane.right, pane.bottom, TRUE);
}

void THostWindow::SetTitle(const std::string& fileName, const std::string& fileType) {
  const std::string title = std::string(kTitle) + " - " + fileName + " (" + fileType + ")";
  ::SetWindowTextA(FWnd, title.c_str());
}

void THostWindow::TakeScreenshot() {
  ::KillTimer(FWnd, kScreenshotTimer);
  try {
    WritePng(FScreenshotFile, CaptureWindow(FWnd));
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s: %s\n", FScreenshotFile.c_str(), e.what());
    FExitCode = 1;
  }
  ::PostMessageA(FWnd, WM_CLOSE, 0, 0);
}

void THostWindow::DestroyViewer() {
  if (!FViewer) return;
  // The menu belongs to the viewer: detach it before the viewer frees it.
  if (FMenu) ::SetMenu(FWnd, nullptr);
  FPlugin.DestroyViewerWindow(FViewer);
  FViewer = nullptr;
  FMenu = nullptr;
  FToolBar = nullptr;
  if (FAccelerators) ::DestroyAcceleratorTable(FAccelerators);
  FAccelerators = nullptr;
}

LRESULT CALLBACK THostWindow::WindowProc(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
    auto* self = static_cast<THostWindow*>(create->lpCreateParams);
    self->FWnd = wnd;
    ::SetWindowLongPtrA(wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<THostWindow*>(::GetWindowLongPtrA(wnd, GWLP_USERDATA));
  if (!self) return ::DefWindowProcA(wnd, message, wParam, lParam);
  return self->HandleMessage(message, wParam, lParam);
}

LRESULT THostWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      // Menu items, accelerators and the toolbar (now a child of this window) all belong to the
      // viewer: route their commands back to it.
      if (FViewer) return ::SendMessageA(FViewer, WM_COMMAND, wParam, lParam);
      break;
    case WM_VIEWER_FILEOPENED: {
      const auto* info = reinterpret_cast<const TViewerFileInfo*>(lParam);
      if (info && info->FileName && info->FileType) SetTitle(info->FileName, info->FileType);
      return 0;
    }
    case WM_VIEWER_EXIT:
      ::DestroyWindow(FWnd);
      return 0;
    case WM_SIZE:
      Layout();
      return 0;
    case WM_TIMER:
      if (wParam == kScreenshotTimer) TakeScreenshot();
      return 0;
    case WM_DESTROY:
      DestroyViewer();
      ::SetWindowLongPtrA(FWnd, GWLP_USERDATA, 0);
      FWnd = nullptr;
      ::PostQuitMessage(0);
      return 0;
  }
  return ::DefWindowProcA(FWnd, message, wParam, lParam);
}

}  // namespace tagscope
