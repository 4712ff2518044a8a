// A program that imports functions Windows XP lacks, GetTickCount64 when it
// starts and SHGetKnownFolderPath on first call: the check that the shipped
// programs load on XP must reject both.
#undef _WIN32_WINNT
#define _WIN32_WINNT 0x0600
#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>

int main(int argc, char**) {
  if (argc > 1) {
    PWSTR path = nullptr;
    SHGetKnownFolderPath(FOLDERID_Windows, 0, nullptr, &path);
    CoTaskMemFree(path);
  }
  return static_cast<int>(GetTickCount64() & 1);
}
