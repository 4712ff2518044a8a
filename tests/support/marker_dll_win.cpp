// Stands in for a library planted beside the program under a system
// library's name: if it is ever loaded, it leaves a file named after itself
// in the folder %VARNELLO_MARKER_DIR%, and refuses to load.
#include <windows.h>

#include <string>

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, void*) {
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  wchar_t path[MAX_PATH], folder[MAX_PATH];
  GetModuleFileNameW(self, path, MAX_PATH);
  if (GetEnvironmentVariableW(L"VARNELLO_MARKER_DIR", folder, MAX_PATH)) {
    std::wstring name(path);
    name = name.substr(name.find_last_of(L'\\') + 1);
    HANDLE f = CreateFileW((std::wstring(folder) + L"\\" + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f != INVALID_HANDLE_VALUE) CloseHandle(f);
  }
  return FALSE;
}
