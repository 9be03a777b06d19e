#pragma once

#include <memory>

#include "plugin/viewer_binding.h"
#include "ui/factory.h"

namespace tagscope {

// What the module keeps between export calls: the UI backend that builds the viewers (created
// at the first CreateViewerWindow, not at load) and the live viewers.
class TPluginModule {
 public:
  TWidgetFactory& Factory();
  TViewerRegistry& Viewers() { return FViewers; }

 private:
  std::unique_ptr<TWidgetFactory> FFactory;
  TViewerRegistry FViewers;
};

TPluginModule& Module() noexcept;

// The Win32 backend for this module's windows.
std::unique_ptr<TWidgetFactory> CreateModuleFactory();

}  // namespace tagscope
