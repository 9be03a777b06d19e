#pragma once

#include <memory>

#include "plugin/viewer_binding.h"
#include "ui/factory.h"

namespace tagscope {

class TViewerFrame;

// What the module keeps between export calls: the UI backend that builds the viewers and the
// live viewers. The backend exists only while there are viewers: it is created for the first
// one and freed with the last, so its window classes are registered no longer than needed and
// nothing of it is left to tear down when the module is unloaded.
class TPluginModule {
 public:
  TPluginModule() = default;
  TPluginModule(const TPluginModule&) = delete;
  TPluginModule& operator=(const TPluginModule&) = delete;
  ~TPluginModule();

  TWidgetFactory& Factory();
  TViewerRegistry& Viewers() { return FViewers; }
  // Frees a registered viewer (nullptr: none), and the backend when no viewer is left.
  void FreeViewer(const TViewerFrame* viewer) noexcept;

 private:
  std::unique_ptr<TWidgetFactory> FFactory;
  TViewerRegistry FViewers;
};

TPluginModule& Module() noexcept;

// The Win32 backend for this module's windows.
std::unique_ptr<TWidgetFactory> CreateModuleFactory();

}  // namespace tagscope
