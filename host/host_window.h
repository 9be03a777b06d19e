#pragma once

#include <windows.h>

#include <string>

#include "host/plugin_library.h"

namespace tagscope {

// The host's main window, laid out as a file manager's viewer: the viewer's menu bar and toolbar
// on top when the user interface is shared, below them a pane that holds the viewer window.
// It routes every command message to the viewer, reacts to the viewer's two notifications and
// destroys the viewer when it closes (then it ends the message loop).
class THostWindow {
 public:
  THostWindow(TPluginLibrary& plugin, bool shareUI, bool atScreenOrigin);
  ~THostWindow();
  THostWindow(const THostWindow&) = delete;
  THostWindow& operator=(const THostWindow&) = delete;

  HWND Handle() const { return FWnd; }
  HWND Viewer() const { return FViewer; }
  HACCEL Accelerators() const { return FAccelerators; }

  void Show();
  // Shows a file in the viewer; on failure writes the module's error text to stderr.
  bool ShowFile(const std::string& fileName);
  // Switches the viewer's tab pages as a click on a tab does; false when there is no such page.
  bool SelectPage(int index);
  // Selects a row of the list on the page shown, scrolled into view; false when there is none.
  bool SelectRow(int row);
  // After a short delay that lets the screen settle, saves a picture of the window and closes it.
  void ScheduleScreenshot(const std::string& fileName);
  // 0, or 1 when the screenshot could not be saved.
  int ExitCode() const { return FExitCode; }

 private:
  static LRESULT CALLBACK WindowProc(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void Layout();
  void SetTitle(const std::string& fileName, const std::string& fileType);
  void TakeScreenshot();
  void DestroyViewer();

  TPluginLibrary& FPlugin;
  HWND FWnd = nullptr;
  HWND FPane = nullptr;
  HWND FViewer = nullptr;
  HMENU FMenu = nullptr;
  HWND FToolBar = nullptr;
  HACCEL FAccelerators = nullptr;
  std::string FScreenshotFile;
  int FExitCode = 0;
};

}  // namespace tagscope
