// Stands in for a program or a library planted beside the program: whenever
// it is started or loaded, it leaves a file named after itself in the folder
// %VARNELLO_MARKER_DIR%; the program ends with 77, the library refuses to load.
#include <windows.h>

#include <string>

static void LeaveMark(HMODULE self) {
  wchar_t path[MAX_PATH], folder[MAX_PATH];
  GetModuleFileNameW(self, path, MAX_PATH);
  if (!GetEnvironmentVariableW(L"VARNELLO_MARKER_DIR", folder, MAX_PATH)) return;
  const std::wstring name(path);
  HANDLE f = CreateFileW((std::wstring(folder) + name.substr(name.find_last_of(L'\\'))).c_str(), GENERIC_WRITE, 0,
                         nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f != INVALID_HANDLE_VALUE) CloseHandle(f);
}

#ifdef VARNELLO_MARKER_DLL
BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, void*) {
  if (reason == DLL_PROCESS_ATTACH) LeaveMark(self);
  return reason != DLL_PROCESS_ATTACH;
}
#else
int wmain() {
  LeaveMark(nullptr);
  return 77;
}
#endif
