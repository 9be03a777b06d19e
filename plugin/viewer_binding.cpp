#include "plugin/viewer_binding.h"

#include <algorithm>

#include "viewer/viewer_frame.h"

namespace tagscope {

TViewerRegistry::~TViewerRegistry() {
  for (auto& viewer : FViewers) static_cast<void>(viewer.release());
}

TViewerFrame& TViewerRegistry::Add(std::unique_ptr<TViewerFrame> viewer) {
  FViewers.push_back(std::move(viewer));
  return *FViewers.back();
}

std::unique_ptr<TViewerFrame> TViewerRegistry::Remove(const TViewerFrame* viewer) noexcept {
  auto found = std::find_if(FViewers.begin(), FViewers.end(),
                            [viewer](const auto& item) { return item.get() == viewer; });
  if (found == FViewers.end()) return nullptr;
  std::unique_ptr<TViewerFrame> result = std::move(*found);
  FViewers.erase(found);
  return result;
}

bool TViewerRegistry::Contains(const TViewerFrame* viewer) const noexcept {
  return std::any_of(FViewers.begin(), FViewers.end(),
                     [viewer](const auto& item) { return item.get() == viewer; });
}

void BindViewer(HWND wnd, TViewerFrame* viewer) noexcept {
  ::SetWindowLongPtrA(wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(viewer));
}

TViewerFrame* BoundViewer(HWND wnd, const TViewerRegistry& registry) noexcept {
  if (!wnd || !::IsWindow(wnd)) return nullptr;
  auto* viewer = reinterpret_cast<TViewerFrame*>(::GetWindowLongPtrA(wnd, GWLP_USERDATA));
  if (!viewer || !registry.Contains(viewer)) return nullptr;
  if (viewer->Handle() != reinterpret_cast<TNativeHandle>(wnd)) return nullptr;
  return viewer;
}

}  // namespace tagscope
