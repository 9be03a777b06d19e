#include "tests/plugin/plugin_fixture.h"

#include <algorithm>

namespace tagscope::test {

namespace {

constexpr char kHostClass[] = "TagscopeTestHost";

}  // namespace

TTestHost::TTestHost() {
  WNDCLASSEXA wc = {};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = ::GetModuleHandleA(nullptr);
  wc.lpszClassName = kHostClass;
  ::RegisterClassExA(&wc);  // fails harmlessly when an earlier test registered it
  FWnd = ::CreateWindowExA(0, kHostClass, "test host", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, 0,
                           800, 600, nullptr, nullptr, wc.hInstance, nullptr);
  ::SetWindowLongPtrA(FWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

TTestHost::~TTestHost() {
  ::DestroyWindow(FWnd);
  MSG msg;
  while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageA(&msg);
}

HWND TTestHost::AddPane() {
  return ::CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, 640, 480,
                           FWnd, nullptr, ::GetModuleHandleA(nullptr), nullptr);
}

bool TTestHost::TakePosted(UINT message, MSG& msg) {
  return ::PeekMessageA(&msg, FWnd, message, message, PM_REMOVE) != 0;
}

LRESULT CALLBACK TTestHost::WindowProc(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<TTestHost*>(::GetWindowLongPtrA(wnd, GWLP_USERDATA));
  if (message == WM_COMMAND && self && self->RouteTo)
    return ::SendMessageA(self->RouteTo, WM_COMMAND, wParam, lParam);
  if (message == WM_VIEWER_FILEOPENED && self) {
    const auto* info = reinterpret_cast<const TViewerFileInfo*>(lParam);
    self->FilesOpened.emplace_back(info->FileName, info->FileType);
    if (self->OnFileOpened) self->OnFileOpened();
    return 0;
  }
  return ::DefWindowProcA(wnd, message, wParam, lParam);
}

void PluginTest::SetUp() {
  plugin = std::make_unique<TPluginLibrary>(PluginPath());
  host = std::make_unique<TTestHost>();
  pane = host->AddPane();
}

void PluginTest::TearDown() {
  host.reset();
  plugin.reset();
}

HWND PluginTest::CreateViewer(BOOL shareUI, HMENU* menu, HWND* toolBar, HACCEL* accel,
                              DWORD reserved) {
  return plugin->CreateViewerWindow(host->Wnd(), pane, reserved, shareUI, menu, toolBar, accel);
}

BOOL PluginTest::Show(HWND viewer, const char* fileName) {
  char type[32];
  std::fill(std::begin(type), std::end(type), '#');
  const BOOL result = plugin->ShowFile(viewer, fileName, type);
  const std::string expected = result ? std::string("MP3 File", 9) : std::string(9, '#');
  EXPECT_EQ(std::string(type, 9), expected);
  EXPECT_EQ(std::string(type + 9, sizeof type - 9), std::string(sizeof type - 9, '#'))
      << "ShowFile wrote past the 9 bytes of the type name";
  return result;
}

std::string PluginTest::LastError(int maxLen) {
  std::vector<char> buffer(static_cast<size_t>(std::max(maxLen, 1)), '#');
  EXPECT_EQ(plugin->GetLastErrorText(buffer.data(), maxLen), buffer.data());
  return buffer.data();
}

std::string FullyTaggedMp3(const std::string& title) {
  return Tag({TextFrame("TIT2", title), TextFrame("TPE1", "Ella Fitzgerald"),
              TextFrame("TALB", "Songbook"), TextFrame("TCOM", "Cole Porter"),
              TextFrame("TPE2", "Buddy Bregman Orchestra"), TextFrame("TPE3", "Buddy Bregman"),
              TextFrame("TEXT", "Ira Gershwin"), TextFrame("TCON", "Jazz"),
              TextFrame("TMOO", "Mellow"), TextFrame("TPUB", "Verve"), TextFrame("TYER", "1956"),
              TextFrame("TRCK", "3/12"), TextFrame("TPOS", "1/2"),
              CommentFrame("eng", "Liner notes", "Recorded in Los Angeles"),
              PictureFrame("image/gif", 3, "Front cover", Gif1x1()),
              UrlFrame("Label", "http://example.com/verve")}) +
         Audio();
}

std::string UntaggedMp3() {
  return Audio();
}

std::vector<HWND> Descendants(HWND parent, const char* className) {
  std::vector<HWND> found;
  for (HWND child = ::FindWindowExA(parent, nullptr, nullptr, nullptr); child;
       child = ::FindWindowExA(parent, child, nullptr, nullptr)) {
    char name[64] = {};
    ::GetClassNameA(child, name, sizeof name);
    if (::lstrcmpiA(name, className) == 0) found.push_back(child);
    const std::vector<HWND> below = Descendants(child, className);
    found.insert(found.end(), below.begin(), below.end());
  }
  return found;
}

std::string WindowText(HWND wnd) {
  std::string text(static_cast<size_t>(::GetWindowTextLengthA(wnd)) + 1, '\0');
  text.resize(
      static_cast<size_t>(::GetWindowTextA(wnd, text.data(), static_cast<int>(text.size()))));
  return text;
}

std::vector<std::string> EditTexts(HWND viewer) {
  std::vector<std::string> texts;
  for (HWND edit : Descendants(viewer, "Edit")) texts.push_back(WindowText(edit));
  return texts;
}

bool ShowsText(HWND viewer, const std::string& text) {
  const std::vector<std::string> texts = EditTexts(viewer);
  return std::find(texts.begin(), texts.end(), text) != texts.end();
}

std::string ColumnCaption(HWND list, int column) {
  char text[64] = {};
  LVCOLUMNA c{};
  c.mask = LVCF_TEXT;
  c.pszText = text;
  c.cchTextMax = sizeof text;
  ::SendMessageA(list, LVM_GETCOLUMNA, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&c));
  return text;
}

std::vector<int> ListViewCounts(HWND viewer) {
  std::vector<int> counts;
  for (HWND list : Descendants(viewer, WC_LISTVIEWA))
    if (list != DetailsList(viewer))
      counts.push_back(static_cast<int>(::SendMessageA(list, LVM_GETITEMCOUNT, 0, 0)));
  return counts;
}

HWND DetailsList(HWND viewer) {
  for (HWND list : Descendants(viewer, WC_LISTVIEWA))
    if (ColumnCaption(list, 0) == "Property") return list;
  return nullptr;
}

int ListBoxCount(HWND viewer) {
  const std::vector<HWND> boxes = Descendants(viewer, "ListBox");
  return boxes.size() == 1 ? static_cast<int>(::SendMessageA(boxes[0], LB_GETCOUNT, 0, 0)) : -1;
}

bool HasStyle(HWND wnd, LONG_PTR style) {
  return (::GetWindowLongPtrA(wnd, GWL_STYLE) & style) == style;
}

std::string PluginPath() {
  std::string path = TAGSCOPE_PLUGIN_DLL;
  if (!path.empty() && path[0] == '/') path = "Z:" + path;  // Wine's drive for the Unix root
  std::replace(path.begin(), path.end(), '/', '\\');
  return path;
}

}  // namespace tagscope::test
