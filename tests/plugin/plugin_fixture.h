#pragma once

#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/plugin_library.h"
#include "tests/ui/win32/dialog_answer.h"
#include "tests/viewer/mp3_builder.h"

namespace tagscope::test {

// What a file manager gives the plug-in: a top-level host window with panes for viewers. The
// host routes every WM_COMMAND it receives to RouteTo, as a host that took over the viewer's
// menu, toolbar and accelerators does.
class TTestHost {
 public:
  TTestHost();
  ~TTestHost();
  TTestHost(const TTestHost&) = delete;
  TTestHost& operator=(const TTestHost&) = delete;

  HWND Wnd() const { return FWnd; }
  // A new child window of the host for a viewer to live in.
  HWND AddPane();
  // Takes a posted message for the host window out of the queue; false when none is waiting.
  bool TakePosted(UINT message, MSG& msg);

  HWND RouteTo = nullptr;
  // WM_VIEWER_FILEOPENED as the host received it: the file name and type, copied while the
  // message was handled.
  std::vector<std::pair<std::string, std::string>> FilesOpened;
  // Runs after a WM_VIEWER_FILEOPENED is recorded, while the viewer still waits for it.
  std::function<void()> OnFileOpened;

 private:
  static LRESULT CALLBACK WindowProc(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam);
  HWND FWnd = nullptr;
};

// The real tagscope.dll, loaded afresh for every test (so its module-wide state starts empty),
// with a host window and one pane.
class PluginTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // CreateViewerWindow into the first pane, reporting to the host window.
  HWND CreateViewer(BOOL shareUI = FALSE, HMENU* menu = nullptr, HWND* toolBar = nullptr,
                    HACCEL* accel = nullptr, DWORD reserved = 0);
  // ShowFile with a type buffer that is checked to receive "MP3 File" and its zero on success.
  BOOL Show(HWND viewer, const char* fileName);
  std::string LastError(int maxLen = 1024);

  std::unique_ptr<TPluginLibrary> plugin;
  std::unique_ptr<TTestHost> host;
  HWND pane = nullptr;
};

// A tagged MP3 file with every field the viewer shows, one comment, one picture and one link.
std::string FullyTaggedMp3(const std::string& title);
// A file with audio only.
std::string UntaggedMp3();

// Windows of a class below a window, at any depth.
std::vector<HWND> Descendants(HWND parent, const char* className);
std::string WindowText(HWND wnd);
// The texts of every edit control in the viewer.
std::vector<std::string> EditTexts(HWND viewer);
bool ShowsText(HWND viewer, const std::string& text);
// The row counts of the viewer's list views (comments, links) and its list box (pictures).
std::vector<int> ListViewCounts(HWND viewer);
// The list of the details page (its first column is "Property"), and a column's caption.
HWND DetailsList(HWND viewer);
std::string ColumnCaption(HWND list, int column);
int ListBoxCount(HWND viewer);
bool HasStyle(HWND wnd, LONG_PTR style);

// The path of the module under test in Windows form.
std::string PluginPath();

}  // namespace tagscope::test
