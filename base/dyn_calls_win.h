// Functions newer than Windows XP, each looked up once, when first asked
// for: null where the system lacks it, and the caller then does what XP
// does. Libraries not already loaded are loaded from the system folder
// only. Tests put stand-ins in place to play other Windows versions.
#pragma once

#include <windows.h>

namespace varnello::base {

// Messages that XP's headers lack.
constexpr UINT kWmDpiChanged = 0x02E0;
constexpr UINT kWmGetDpiScaledSize = 0x02E4;  // before a move to a monitor of another density

// Looks `name` up in the system library `dll`: the one loaded already, or
// else loaded here from the system folder.
FARPROC LookUp(const wchar_t* dll, const char* name);

template <class F>
class DynFn {
 public:
  constexpr DynFn(const wchar_t* dll, const char* name) : dll_(dll), name_(name) {}
  F get() {
    if (!looked_) Set(reinterpret_cast<F>(reinterpret_cast<void*>(LookUp(dll_, name_))));
    return fn_;
  }
  // A stand-in (or null, for a system without the function), for tests.
  void Set(F fn) {
    fn_ = fn;
    looked_ = true;
  }
  // Looked up again at the next use.
  void Reset() { looked_ = false; }

 private:
  const wchar_t* dll_;
  const char* name_;
  F fn_ = nullptr;
  bool looked_ = false;
};

struct DynCalls {
  // Windows 10 1607: densities per window.
  DynFn<UINT(WINAPI*)(HWND)> GetDpiForWindow{L"user32.dll", "GetDpiForWindow"};
  DynFn<int(WINAPI*)(int, UINT)> GetSystemMetricsForDpi{L"user32.dll", "GetSystemMetricsForDpi"};
  DynFn<BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT)> AdjustWindowRectExForDpi{L"user32.dll",
                                                                                  "AdjustWindowRectExForDpi"};
  // Windows 8.1: densities per monitor. The second argument is
  // MDT_EFFECTIVE_DPI (0) here.
  DynFn<HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*)> GetDpiForMonitor{L"shcore.dll", "GetDpiForMonitor"};
  // The filter that keeps messages of less trusted processes from an
  // elevated window: Windows 7 per window, Vista per process.
  DynFn<BOOL(WINAPI*)(HWND, UINT, DWORD, void*)> ChangeWindowMessageFilterEx{L"user32.dll",
                                                                            "ChangeWindowMessageFilterEx"};
  DynFn<BOOL(WINAPI*)(UINT, DWORD)> ChangeWindowMessageFilter{L"user32.dll", "ChangeWindowMessageFilter"};
  // Windows 8, and 7 with KB2533623.
  DynFn<BOOL(WINAPI*)(DWORD)> SetDefaultDllDirectories{L"kernel32.dll", "SetDefaultDllDirectories"};
  // XP SP2 (Internet Explorer 6 SP2): the browser's features per process.
  DynFn<HRESULT(WINAPI*)(int, DWORD, BOOL)> CoInternetSetFeatureEnabled{L"urlmon.dll",
                                                                         "CoInternetSetFeatureEnabled"};
  // Vista, for the compiler's runtime (xp_runtime_win.cpp); ntdll's query
  // stands in on XP.
  DynFn<DWORD(WINAPI*)(HANDLE)> GetThreadId{L"kernel32.dll", "GetThreadId"};
  DynFn<void(WINAPI*)(PCONDITION_VARIABLE)> InitializeConditionVariable{L"kernel32.dll",
                                                                        "InitializeConditionVariable"};
  DynFn<BOOL(WINAPI*)(PCONDITION_VARIABLE, PCRITICAL_SECTION, DWORD)> SleepConditionVariableCS{
      L"kernel32.dll", "SleepConditionVariableCS"};
  DynFn<void(WINAPI*)(PCONDITION_VARIABLE)> WakeConditionVariable{L"kernel32.dll", "WakeConditionVariable"};
  DynFn<void(WINAPI*)(PCONDITION_VARIABLE)> WakeAllConditionVariable{L"kernel32.dll", "WakeAllConditionVariable"};
  DynFn<LONG(WINAPI*)(HANDLE, int, void*, ULONG, ULONG*)> NtQueryInformationThread{L"ntdll.dll",
                                                                                   "NtQueryInformationThread"};
  // The survey's own sources where WMI cannot be bound: the firmware's
  // tables (Vista; XP keeps a copy in the registry), the memory installed
  // (Vista SP1), processor packages (XP SP3) and the system's marketing
  // name (7; the result is freed with GlobalFree).
  DynFn<UINT(WINAPI*)(DWORD, DWORD, void*, DWORD)> GetSystemFirmwareTable{L"kernel32.dll", "GetSystemFirmwareTable"};
  DynFn<BOOL(WINAPI*)(ULONGLONG*)> GetPhysicallyInstalledSystemMemory{L"kernel32.dll",
                                                                      "GetPhysicallyInstalledSystemMemory"};
  DynFn<BOOL(WINAPI*)(SYSTEM_LOGICAL_PROCESSOR_INFORMATION*, DWORD*)> GetLogicalProcessorInformation{
      L"kernel32.dll", "GetLogicalProcessorInformation"};
  DynFn<wchar_t*(WINAPI*)(const wchar_t*)> BrandingFormatString{L"winbrand.dll", "BrandingFormatString"};
};

// The program's one table: initialised before any code runs, so that the
// compiler's own runtime may use it from the start.
DynCalls& Dyn();

}  // namespace varnello::base
