#include "plugin/plugin_module.h"
#include "ui/win32/win32_factory.h"

namespace tagscope {

std::unique_ptr<TWidgetFactory> CreateModuleFactory() {
  return std::make_unique<TWin32Factory>();
}

}  // namespace tagscope
