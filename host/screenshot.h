#pragma once

#include <windows.h>

#include "host/png_writer.h"

namespace tagscope {

// What the screen shows of a window's client area and menu bar (the frame is left out: it is the
// window manager's): the window should be visible and on top.
// Raises tagscope::Exception when the screen cannot be read.
TRgbImage CaptureWindow(HWND wnd);

}  // namespace tagscope
