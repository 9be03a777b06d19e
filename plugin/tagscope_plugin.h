#pragma once

// The contract between tagscope.dll and its host: the four exported functions (stdcall, by name),
// as function-pointer types for a host that loads the module at run time, and the two messages
// the viewer sends to the host window.
#include <windows.h>

#include "viewer/viewer_messages.h"

namespace tagscope {

// Creates a hidden viewer window as a child of parentWnd; hostWnd receives the notifications and
// owns the module's dialogs. With shareUI nonzero the host receives the viewer's menu, toolbar
// (moved into hostWnd) and a new accelerator table; with 0 the three out-arguments are not
// written. Returns the viewer window, 0 on failure.
using TCreateViewerWindow = HWND(WINAPI*)(HWND hostWnd, HWND parentWnd, DWORD reserved,
                                          BOOL shareUI, HMENU* menu, HWND* toolBarWnd,
                                          HACCEL* accelTable);
// Shows a file's tag (a null fileName is an empty path) and copies "MP3 File" with its zero,
// 9 bytes, into fileType. Returns -1 on success, 0 on failure.
using TShowFile = BOOL(WINAPI*)(HWND wnd, const char* fileName, char* fileType);
// Frees a viewer window; does nothing for a handle that is no viewer window (any more).
using TDestroyViewerWindow = void(WINAPI*)(HWND wnd);
// Copies the message of the most recent failure (at most maxLen - 1 bytes and a zero); returns
// buffer, or 0 when nothing could be copied.
using TGetLastErrorText = char*(WINAPI*)(char* buffer, int maxLen);

// The length of the type name buffer that ShowFile fills, terminating zero included.
inline constexpr int kFileTypeSize = 9;

}  // namespace tagscope
