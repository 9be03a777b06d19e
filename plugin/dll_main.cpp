// The module's entry point. It does nothing: everything the module needs is built at the first
// export call, so loading and unloading can neither fail nor block.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  return TRUE;
}
