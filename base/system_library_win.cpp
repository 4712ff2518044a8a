#include "base/system_library_win.h"

#include <delayimp.h>

#include <string>

extern "C" IMAGE_DOS_HEADER __ImageBase;  // this module's own image, from the linker

namespace varnello::base {
namespace {

LibraryFailureHandler g_failure = nullptr;
bool g_failing = false;

// Makes a word the delay-load helper writes writable, where the linker put
// it in a read-only section: binutils 2.44 (Debian 13) places the table of
// addresses filled on first call there, and the helper, unlike Windows'
// own loader, does not lift the protection.
void MakeWritable(void* at, SIZE_T size) {
  MEMORY_BASIC_INFORMATION m;
  if (!at || !VirtualQuery(at, &m, sizeof m)) return;
  constexpr DWORD kWritable = PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
  if (m.Protect & kWritable) return;
  DWORD old = 0;
  VirtualProtect(at, size, PAGE_READWRITE, &old);
}

// The helper's notifications as it resolves a function on first call: the
// words it will write made writable, then the system's copy of the library
// by its full path, or the program's failure handler.
FARPROC WINAPI BeforeDelayLoad(unsigned notify, PDelayLoadInfo info) {
  if (!info) return nullptr;
  if (notify == dliStartProcessing) {
    MakeWritable(info->ppfn, sizeof *info->ppfn);
    if (info->pidd && (info->pidd->grAttrs & dlattrRva))
      MakeWritable(reinterpret_cast<char*>(&__ImageBase) + info->pidd->rvaHmod, sizeof(HMODULE));
    return nullptr;
  }
  if (notify != dliNotePreLoadLibrary || !info->szDll) return nullptr;
  std::wstring name;
  for (const char* c = info->szDll; *c; ++c) name += static_cast<wchar_t>(static_cast<unsigned char>(*c));
  if (HMODULE module = LoadSystemLibrary(name.c_str())) return reinterpret_cast<FARPROC>(module);
  const DWORD error = GetLastError();
  // The handler itself may need a library loaded on first call (the icon's
  // removal needs the shell): a second failure inside it ends at once.
  if (g_failing) ExitProcess(1);
  if (g_failure) {
    g_failing = true;
    g_failure(HRESULT_FROM_WIN32(error ? error : ERROR_MOD_NOT_FOUND));
    ExitProcess(1);
  }
  return nullptr;
}

}  // namespace

std::wstring ProgramPath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n < path.size()) {
      path.resize(n);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

std::wstring SystemFolder() {
  wchar_t folder[MAX_PATH];
  const UINT n = GetSystemDirectoryW(folder, MAX_PATH);
  return n > 0 && n < MAX_PATH ? std::wstring(folder, n) : std::wstring();
}

HMODULE LoadSystemLibrary(const wchar_t* name) {
  const std::wstring folder = SystemFolder();
  if (folder.empty()) return nullptr;
  const std::wstring path = folder + L"\\" + name;
  // The altered search order looks for the library's own dependencies in
  // its folder, the system folder, rather than beside the program.
  return LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

void SetLibraryFailureHandler(LibraryFailureHandler handler) { g_failure = handler; }

}  // namespace varnello::base

// The delay-load helper calls this before each library it loads.
extern "C" {
#ifdef _MSC_VER
const
#endif
    PfnDliHook __pfnDliNotifyHook2 = varnello::base::BeforeDelayLoad;
}
