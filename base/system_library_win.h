// The system's own libraries, only ever from the system folder. Windows
// searches the program's folder first (XP also the current folder, and has
// no safe search order at all), so a same-named library lying beside a
// downloaded program would otherwise load in place of the system's.
#pragma once

#include <windows.h>

#include <string>

namespace varnello::base {

// The system folder (System32; for a 32-bit program on 64-bit Windows the
// system redirects it to SysWOW64), or empty where it cannot be told.
std::wstring SystemFolder();

// The full path of the program's own file, however long.
std::wstring ProgramPath();

// A library of the system's, by its full path in the system folder; null
// (with the last error set) where it cannot be loaded.
HMODULE LoadSystemLibrary(const wchar_t* name);

// Libraries the program loads on first call go through LoadSystemLibrary
// too. Where one cannot be loaded, `handler` is told with the error and
// does not return; without a handler the call fails with the loader's own
// exception.
using LibraryFailureHandler = void (*)(HRESULT error);
void SetLibraryFailureHandler(LibraryFailureHandler handler);

}  // namespace varnello::base
