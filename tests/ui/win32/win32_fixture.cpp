#include "tests/ui/win32/win32_fixture.h"

namespace tagscope::test {

void PumpMessages() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

COLORREF PixelAt(HWND window, int x, int y) {
  UpdateWindow(window);
  HDC dc = GetDC(window);
  const COLORREF color = GetPixel(dc, x, y);
  ReleaseDC(window, dc);
  return color;
}

int CountPixels(HWND window, const RECT& area, COLORREF color) {
  UpdateWindow(window);
  HDC dc = GetDC(window);
  int count = 0;
  for (int y = area.top; y < area.bottom; ++y)
    for (int x = area.left; x < area.right; ++x)
      if (GetPixel(dc, x, y) == color) ++count;
  ReleaseDC(window, dc);
  return count;
}

std::string TextOf(HWND window) {
  char buffer[1024] = {};
  GetWindowTextA(window, buffer, sizeof(buffer));
  return buffer;
}

std::string CellText(HWND list, int row, int column) {
  char buffer[1024] = {};
  LVITEMA item{};
  item.iSubItem = column;
  item.pszText = buffer;
  item.cchTextMax = sizeof(buffer);
  SendMessageA(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
  return buffer;
}

// ---- TTestWindow

namespace {

constexpr const char* kTestWindowClass = "TagscopeTestWindow";

void RegisterTestWindowClass(WNDPROC proc) {
  static bool registered = false;
  if (registered) return;
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = proc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = GetSysColorBrush(COLOR_WINDOW);
  wc.lpszClassName = kTestWindowClass;
  registered = RegisterClassExA(&wc) != 0;
}

}  // namespace

TTestWindow::TTestWindow(int width, int height) {
  RegisterTestWindowClass(Proc);
  FWindow =
      CreateWindowExA(0, kTestWindowClass, "tagscope test", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN,
                      0, 0, width, height, nullptr, nullptr, GetModuleHandleA(nullptr), this);
  SetWindowLongPtrA(FWindow, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  SetWindowPos(FWindow, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  PumpMessages();
}

TTestWindow::~TTestWindow() {
  SetWindowLongPtrA(FWindow, GWLP_USERDATA, 0);
  DestroyWindow(FWindow);
  PumpMessages();
}

LRESULT CALLBACK TTestWindow::Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<TTestWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (self && message >= WM_APP && message <= 0xBFFF) {
    MSG msg{window, message, wParam, lParam, 0, {}};
    self->FReceived.push_back(msg);
    if (self->OnReceive) self->OnReceive(msg);
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

// ---- Win32Test

TTestWindow& SharedTestWindow() {
  static TTestWindow window;
  return window;
}

Win32Test::Win32Test() {
  host.ClearReceived();
  host.OnReceive = nullptr;
  factory.OnErrorMessage = [this](const std::string& text) { errors.push_back(text); };
  TFormProps props;
  props.Name = "TestForm";
  props.Caption = "TestForm";
  props.ClientWidth = 404;
  props.ClientHeight = 389;
  form = Own(factory.CreateForm(host.Native(), props));
  form->Show();
}

Win32Test::~Win32Test() {
  components.Clear();
  PumpMessages();
}

TTabSheet* Win32Test::MakePage() {
  TPageControlProps pages;
  pages.Name = "Pages";
  pages.Align = TAlign::alClient;
  pages.TabOrder = 0;
  auto* control = Own(factory.CreatePageControl(*form, pages));
  TTabSheetProps page;
  page.Name = "Page";
  page.Caption = "Page";
  return Own(factory.CreateTabSheet(*control, page));
}

}  // namespace tagscope::test
