#include "host/plugin_library.h"

#include "tagscope/rtl/exception.h"
#include "tagscope/rtl/files.h"

namespace tagscope {

namespace {

template <class TProc>
void Resolve(HMODULE module, const char* name, TProc& proc) {
  FARPROC address = ::GetProcAddress(module, name);
  if (!address) throw Exception(Format("The plug-in exports no function %s.", name));
  // Through the generic function-pointer type, which converts to any other without a warning.
  proc = reinterpret_cast<TProc>(reinterpret_cast<void (*)()>(address));
}

}  // namespace

TPluginLibrary::TPluginLibrary(const std::string& fileName)
    : FModule(::LoadLibraryA(fileName.c_str())) {
  if (!FModule)
    throw Exception(Format("Cannot load the plug-in \"%s\". %s", fileName.c_str(),
                           LastSystemErrorText().c_str()));
  try {
    Resolve(FModule, "CreateViewerWindow", CreateViewerWindow);
    Resolve(FModule, "ShowFile", ShowFile);
    Resolve(FModule, "DestroyViewerWindow", DestroyViewerWindow);
    Resolve(FModule, "GetLastErrorText", GetLastErrorText);
  } catch (...) {
    ::FreeLibrary(FModule);
    throw;
  }
}

TPluginLibrary::~TPluginLibrary() {
  ::FreeLibrary(FModule);
}

FARPROC TPluginLibrary::ProcByOrdinal(WORD ordinal) const {
  return ::GetProcAddress(FModule, MAKEINTRESOURCEA(ordinal));
}

std::string TPluginLibrary::LastErrorText() const {
  char buffer[1024] = {};
  GetLastErrorText(buffer, sizeof buffer);
  return buffer;
}

}  // namespace tagscope
