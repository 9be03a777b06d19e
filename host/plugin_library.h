#pragma once

#include <windows.h>

#include <string>

#include "plugin/tagscope_plugin.h"

namespace tagscope {

// tagscope.dll loaded at run time, as a host file manager loads a viewer plug-in: by name (found
// next to the program or on the search path) or by a full path, with its four exports looked up
// by name. Unloaded when this goes.
class TPluginLibrary {
 public:
  // Raises tagscope::Exception naming the module or export that could not be found.
  explicit TPluginLibrary(const std::string& fileName = "tagscope.dll");
  ~TPluginLibrary();
  TPluginLibrary(const TPluginLibrary&) = delete;
  TPluginLibrary& operator=(const TPluginLibrary&) = delete;

  HMODULE Module() const { return FModule; }
  // An export by its ordinal, or nullptr.
  FARPROC ProcByOrdinal(WORD ordinal) const;

  TCreateViewerWindow CreateViewerWindow = nullptr;
  TShowFile ShowFile = nullptr;
  TDestroyViewerWindow DestroyViewerWindow = nullptr;
  TGetLastErrorText GetLastErrorText = nullptr;

  // The module's last-error text (at most 1023 bytes of it).
  std::string LastErrorText() const;

 private:
  HMODULE FModule;
};

}  // namespace tagscope
