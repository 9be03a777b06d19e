#include "plugin/plugin_module.h"

#include "viewer/viewer_frame.h"

namespace tagscope {

TPluginModule::~TPluginModule() {
  // Viewers the host never destroyed still use the backend; both are left alone rather than
  // torn down from inside the loader.
  if (FViewers.Count() > 0) static_cast<void>(FFactory.release());
}

TWidgetFactory& TPluginModule::Factory() {
  if (!FFactory) FFactory = CreateModuleFactory();
  return *FFactory;
}

void TPluginModule::FreeViewer(const TViewerFrame* viewer) noexcept {
  FViewers.Remove(viewer).reset();
  if (FViewers.Count() == 0) FFactory.reset();
}

TPluginModule& Module() noexcept {
  static TPluginModule module;
  return module;
}

}  // namespace tagscope
