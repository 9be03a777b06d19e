#pragma once

#include <windows.h>

namespace tagscope {

class TViewerFrame;

// Hands the viewer's user interface to the host: the main menu's handle, the toolbar (moved into
// hostWnd at (0, 0), visible, as wide as the viewer window) and a new accelerator table built
// from the menu's shortcuts (0 when no item has one), which then belongs to the host.
// Out-arguments that are null are skipped; none is written unless everything succeeded.
void ShareUserInterface(TViewerFrame& viewer, HWND hostWnd, HMENU* menu, HWND* toolBarWnd,
                        HACCEL* accelTable);

}  // namespace tagscope
