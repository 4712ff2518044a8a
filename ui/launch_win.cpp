#include "ui/launch_win.h"

#include <windows.h>

#include <string>
#include <vector>

#include "base/com_win.h"
#include "base/dyn_calls_win.h"
#include "base/system_library_win.h"
#include "base/win_handles_win.h"
#include "ui/commands.h"

namespace varnello::ui {
namespace {

constexpr DWORD kSearchSystem32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32

}  // namespace

void LimitSearchPaths() {
  SetDllDirectoryW(L"");
  // Windows 7 with KB2533623 and later: the system folder alone. The
  // program ships no library of its own, and its folder may be a downloads
  // folder full of others'.
  if (auto set_default = base::Dyn().SetDefaultDllDirectories.get()) set_default(kSearchSystem32);
  const std::wstring system = base::SystemFolder();
  if (!system.empty()) SetCurrentDirectoryW(system.c_str());
}

Status StartInWindowsFolder(std::wstring_view command_line, int window_style) {
  wchar_t folder[MAX_PATH];
  const UINT n = GetWindowsDirectoryW(folder, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return ComError(HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND));
  const std::u16string program = ProgramIn(std::u16string(folder, folder + n),
                                           std::u16string(command_line.begin(), command_line.end()));
  std::vector<wchar_t> line(command_line.begin(), command_line.end());
  line.push_back(L'\0');
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = static_cast<WORD>(window_style == kMinimizedFocus ? SW_SHOWMINIMIZED : window_style);
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(reinterpret_cast<const wchar_t*>(program.c_str()), line.data(), nullptr, nullptr, FALSE, 0,
                      nullptr, nullptr, &startup, &process))
    return ComError(HRESULT_FROM_WIN32(GetLastError()));
  KernelHandle thread(process.hThread), handle(process.hProcess);
  return {};
}

}  // namespace varnello::ui
