#include "plugin/plugin_module.h"

namespace tagscope {

TWidgetFactory& TPluginModule::Factory() {
  if (!FFactory) FFactory = CreateModuleFactory();
  return *FFactory;
}

TPluginModule& Module() noexcept {
  // Built before the first call into the module; its members allocate nothing until used.
  static TPluginModule module;
  return module;
}

}  // namespace tagscope
