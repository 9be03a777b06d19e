#pragma once

#include <windows.h>

#include <memory>
#include <vector>

namespace tagscope {

class TViewerFrame;

// The module's live viewers. A viewer window carries its viewer object's address in its
// user-data slot; the address is trusted only when it names one of these viewers, so a foreign
// window whose slot holds something else is never taken for a viewer.
class TViewerRegistry {
 public:
  TViewerRegistry() = default;
  TViewerRegistry(const TViewerRegistry&) = delete;
  TViewerRegistry& operator=(const TViewerRegistry&) = delete;
  // Viewers still registered when the module is unloaded are left alone: freeing them would
  // destroy windows from inside the loader.
  ~TViewerRegistry();

  // Takes over a viewer (on failure, std::bad_alloc, the viewer is freed).
  TViewerFrame& Add(std::unique_ptr<TViewerFrame> viewer);
  // Hands a registered viewer back for freeing; nullptr when it is not registered.
  std::unique_ptr<TViewerFrame> Remove(const TViewerFrame* viewer) noexcept;
  bool Contains(const TViewerFrame* viewer) const noexcept;
  int Count() const noexcept { return static_cast<int>(FViewers.size()); }

 private:
  std::vector<std::unique_ptr<TViewerFrame>> FViewers;
};

// Stores the viewer's address in its window's user-data slot (nullptr: clears the slot).
void BindViewer(HWND wnd, TViewerFrame* viewer) noexcept;
// The viewer bound to an existing window, or nullptr when wnd is no window, its slot holds 0,
// or the slot names no registered viewer of that window.
TViewerFrame* BoundViewer(HWND wnd, const TViewerRegistry& registry) noexcept;

}  // namespace tagscope
