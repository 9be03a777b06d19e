#include "plugin/shared_ui.h"

#include <memory>
#include <type_traits>
#include <vector>

#include "tagscope/rtl/exception.h"
#include "tagscope/rtl/files.h"
#include "ui/menu.h"
#include "viewer/viewer_frame.h"

namespace tagscope {

namespace {

static_assert(afVirtKey == FVIRTKEY && afNoInvert == FNOINVERT && afShift == FSHIFT &&
              afControl == FCONTROL && afAlt == FALT);

constexpr int kToolBarHeight = 24;

struct TAcceleratorTableDeleter {
  void operator()(HACCEL table) const { ::DestroyAcceleratorTable(table); }
};
using TAcceleratorTableOwner =
    std::unique_ptr<std::remove_pointer_t<HACCEL>, TAcceleratorTableDeleter>;

TAcceleratorTableOwner CreateMenuAccelerators(const TMainMenu& menu) {
  std::vector<ACCEL> table;
  for (const TAcceleratorEntry& entry : MenuAccelerators(menu))
    table.push_back(ACCEL{entry.Flags, entry.Key, entry.Command});
  if (table.empty()) return nullptr;
  HACCEL handle = ::CreateAcceleratorTableA(table.data(), static_cast<int>(table.size()));
  if (!handle) throw Exception(LastSystemErrorText());
  return TAcceleratorTableOwner(handle);
}

}  // namespace

void ShareUserInterface(TViewerFrame& viewer, HWND hostWnd, HMENU* menu, HWND* toolBarWnd,
                        HACCEL* accelTable) {
  TAcceleratorTableOwner accelerators;
  if (accelTable) accelerators = CreateMenuAccelerators(*viewer.MainMenu1);

  TToolBar& toolBar = *viewer.ToolBar1;
  toolBar.SetParentWindow(reinterpret_cast<TNativeHandle>(hostWnd));
  toolBar.SetBounds({0, 0, viewer.Form().Width(), kToolBarHeight});
  toolBar.Show();

  if (menu) *menu = reinterpret_cast<HMENU>(viewer.MainMenu1->Handle());
  if (toolBarWnd) *toolBarWnd = reinterpret_cast<HWND>(toolBar.Handle());
  if (accelTable) *accelTable = accelerators.release();
}

}  // namespace tagscope
