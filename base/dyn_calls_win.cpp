#include "base/dyn_calls_win.h"

#include "base/system_library_win.h"

namespace varnello::base {

FARPROC LookUp(const wchar_t* dll, const char* name) {
  HMODULE module = GetModuleHandleW(dll);
  if (!module) module = LoadSystemLibrary(dll);  // stays loaded for the program's life
  return module ? GetProcAddress(module, name) : nullptr;
}

namespace {
DynCalls g_calls;  // constant-initialised, unguarded: the runtime's own guards may need it
}  // namespace

DynCalls& Dyn() { return g_calls; }

}  // namespace varnello::base
