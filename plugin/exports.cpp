// The module's four exported functions. Each one catches everything, so no exception ever
// reaches the host.
#include <windows.h>

#include <cstring>
#include <memory>
#include <string>

#include "plugin/last_error.h"
#include "plugin/plugin_module.h"
#include "plugin/shared_ui.h"
#include "plugin/tagscope_plugin.h"
#include "viewer/viewer_frame.h"

namespace tagscope {

namespace {

TNativeHandle Native(HWND wnd) {
  return reinterpret_cast<TNativeHandle>(wnd);
}

HWND CreateViewer(HWND hostWnd, HWND parentWnd, BOOL shareUI, HMENU* menu, HWND* toolBarWnd,
                  HACCEL* accelTable) {
  TPluginModule& module = Module();
  TViewerFrame* viewer = nullptr;
  try {
    TWidgetFactory& factory = module.Factory();
    factory.SetDialogOwner(Native(hostWnd));
    viewer = &module.Viewers().Add(std::make_unique<TViewerFrame>(factory, Native(parentWnd)));
    viewer->SetTag(Native(hostWnd));
    if (shareUI) ShareUserInterface(*viewer, hostWnd, menu, toolBarWnd, accelTable);
  } catch (...) {
    // Also frees the backend when no other viewer uses it.
    module.FreeViewer(viewer);
    throw;
  }
  HWND wnd = reinterpret_cast<HWND>(viewer->Handle());
  BindViewer(wnd, viewer);
  return wnd;
}

BOOL ShowViewerFile(HWND wnd, const char* fileName, char* fileType) {
  TViewerFrame* viewer = BoundViewer(wnd, Module().Viewers());
  if (!viewer) {
    SetLastErrorText(SNotAViewerWindow);
    return FALSE;
  }
  if (!fileType) {
    SetLastErrorText(SNoFileTypeBuffer);
    return FALSE;
  }
  viewer->Show();
  viewer->LoadFile(fileName ? fileName : "");
  // Always the buffer's 9 bytes: the type name, cut or padded with zeros, and its terminator.
  std::string type = viewer->GetFileType();
  type.resize(kFileTypeSize - 1);
  std::memcpy(fileType, type.c_str(), kFileTypeSize);
  return -1;
}

void DestroyViewer(HWND wnd) {
  TPluginModule& module = Module();
  TViewerFrame* viewer = BoundViewer(wnd, module.Viewers());
  if (!viewer) return;
  // The slot is cleared first, so no message arriving while the window goes finds the viewer.
  BindViewer(wnd, nullptr);
  module.FreeViewer(viewer);
}

}  // namespace

}  // namespace tagscope

using namespace tagscope;

extern "C" {

HWND WINAPI CreateViewerWindow(HWND hostWnd, HWND parentWnd, DWORD reserved, BOOL shareUI,
                               HMENU* menu, HWND* toolBarWnd, HACCEL* accelTable) {
  return CatchAll(
      [&] { return CreateViewer(hostWnd, parentWnd, shareUI, menu, toolBarWnd, accelTable); },
      HWND{});
}

BOOL WINAPI ShowFile(HWND wnd, const char* fileName, char* fileType) {
  return CatchAll([&] { return ShowViewerFile(wnd, fileName, fileType); }, BOOL{FALSE});
}

void WINAPI DestroyViewerWindow(HWND wnd) {
  CatchAll(
      [&] {
        DestroyViewer(wnd);
        return 0;
      },
      0);
}

char* WINAPI GetLastErrorText(char* buffer, int maxLen) {
  // A negative size would let the copy run past any buffer.
  if (!buffer || maxLen < 0) return nullptr;
  return ::lstrcpynA(buffer, LastErrorText(), maxLen);
}

}  // extern "C"

static_assert(std::is_same_v<decltype(&CreateViewerWindow), TCreateViewerWindow>);
static_assert(std::is_same_v<decltype(&ShowFile), TShowFile>);
static_assert(std::is_same_v<decltype(&DestroyViewerWindow), TDestroyViewerWindow>);
static_assert(std::is_same_v<decltype(&GetLastErrorText), TGetLastErrorText>);
