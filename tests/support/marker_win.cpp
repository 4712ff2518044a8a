// Stands in for a planted program: whenever it is started, it leaves a file
// named after itself in the folder %VARNELLO_MARKER_DIR%, and ends with 77.
#include <windows.h>

#include <string>

int wmain() {
  wchar_t self[MAX_PATH], folder[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  if (!GetEnvironmentVariableW(L"VARNELLO_MARKER_DIR", folder, MAX_PATH)) return 77;
  std::wstring name(self);
  name = name.substr(name.find_last_of(L'\\') + 1);
  HANDLE f = CreateFileW((std::wstring(folder) + L"\\" + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f != INVALID_HANDLE_VALUE) CloseHandle(f);
  return 77;
}
